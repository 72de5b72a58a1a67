#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QWheelEvent>
#include <vector>

#include "UiTestSupport.h"
#include "ui/CloseUpComboBox.h"

namespace glassbench::ui {
namespace {

using testing::ProcessEventsUntil;

class CloseUpComboBoxTest : public ::testing::Test {
  protected:
    CloseUpComboBoxTest() {
        window.resize(400, 300);
        box = new CCloseUpComboBox(&window);
        box->setGeometry(10, 10, 150, 24);
        box->addItems({"1200 Baud", "2400 Baud", "4800 Baud", "9600 Baud"});
        box->setCurrentIndex(3);
        // What the handler sees is what matters: record the selection it would read.
        QObject::connect(box, &CCloseUpComboBox::closedUp, box,
                         [this] { seen.push_back(box->currentIndex()); });
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void Open() {
        box->showPopup();
        ASSERT_TRUE(box->view()->isVisible());
        ASSERT_TRUE(box->IsDroppedDown());
    }

    // Lets queued signals run; waits a little past the first one to catch any second one.
    void Settle() {
        ProcessEventsUntil([] { return false; }, std::chrono::milliseconds(100));
    }

    QDialog window;
    CCloseUpComboBox* box;
    std::vector<int> seen;
};

TEST_F(CloseUpComboBoxTest, HidingAClosedListIsNoCloseUp) {
    box->hidePopup();
    box->hide();
    Settle();
    EXPECT_TRUE(seen.empty());
}

TEST_F(CloseUpComboBoxTest, ClosingWithoutAChoiceIsOneCloseUp) {
    Open();
    box->hidePopup();
    box->hidePopup();
    // Queued: the signal comes from the event loop, never from inside hidePopup.
    EXPECT_TRUE(seen.empty());
    Settle();
    EXPECT_EQ(seen, std::vector<int>{3});
}

TEST_F(CloseUpComboBoxTest, ChoosingAnEntryIsOneCloseUpThatSeesTheNewEntry) {
    Open();
    QAbstractItemView* view = box->view();
    const QRect item = view->visualRect(box->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    Settle();
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(seen, std::vector<int>{1});
    EXPECT_EQ(box->currentIndex(), 1);
}

TEST_F(CloseUpComboBoxTest, ClickOutsideTheListIsOneCloseUp) {
    Open();
    QWidget* popup = box->view()->window();
    // Qt sends a press outside an open popup to the popup, which closes itself.
    QTest::mouseClick(popup, Qt::LeftButton, {},
                      popup->mapFromGlobal(window.mapToGlobal(QPoint(350, 250))));
    Settle();
    EXPECT_FALSE(box->view()->isVisible());
    EXPECT_EQ(seen, std::vector<int>{3});
}

TEST_F(CloseUpComboBoxTest, EscapeInTheListIsOneCloseUpWithTheSelectionKept) {
    Open();
    QTest::keyClick(box->view(), Qt::Key_Escape);
    Settle();
    EXPECT_FALSE(box->view()->isVisible());
    EXPECT_EQ(seen, std::vector<int>{3});
}

TEST_F(CloseUpComboBoxTest, HidingTheBoxWhileItsListIsOpenIsOneCloseUp) {
    Open();
    box->hide();
    Settle();
    EXPECT_EQ(seen, std::vector<int>{3});
}

TEST_F(CloseUpComboBoxTest, EveryDropDownGivesItsOwnCloseUp) {
    for (int i = 0; i < 3; ++i) {
        Open();
        box->hidePopup();
        Settle();
    }
    EXPECT_EQ(seen, (std::vector<int>{3, 3, 3}));
}

TEST_F(CloseUpComboBoxTest, ChoiceOnlyFromDropDownIgnoresWheelAndTypedLetters) {
    box->SetChoiceOnlyFromDropDown(true);
    box->setFocus();
    QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
    QTest::keyClick(box, Qt::Key_1, Qt::NoModifier);
    EXPECT_EQ(box->currentIndex(), 3);

    box->SetChoiceOnlyFromDropDown(false);
    QApplication::sendEvent(box, &wheel);
    EXPECT_NE(box->currentIndex(), 3);
}

}  // namespace
}  // namespace glassbench::ui
