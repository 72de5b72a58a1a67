// The window's parts on their own: dialog units and the dialog built from its template, the
// close-up list, the transcript box and the icon.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <random>
#include <set>
#include <utility>

#include "UiTestSupport.h"
#include "serial/PortTables.h"
#include "ui/AppIcon.h"
#include "ui/CloseUpComboBox.h"
#include "ui/DialogBuilder.h"
#include "ui/TranscriptBox.h"

namespace glassbench::ui::testing {
namespace {

// --- dialog units and the built dialog ----------------------------------------------------------

TEST(DialogUnits, EdgesAreRoundedSoThatTouchingControlsStillTouch) {
    // A unit is a quarter of the average character and an eighth of the font's height.
    EXPECT_DOUBLE_EQ(ScaleForFont(312.0, 16.0).x, 1.5);
    EXPECT_DOUBLE_EQ(ScaleForFont(312.0, 16.0).y, 2.0);
    // 9 * 1.5 = 13.5 rounds to 14 and the right edge 138 * 1.5 to 207: the width is 193, not
    // round(129 * 1.5) = 194, which would overlap the next control by a pixel.
    const PixelRect r = MapDialogRect({9, 83, 129, 13}, {1.5, 1.625});
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.width, r.height}),
              std::vector<int>({14, 135, 193, 21}));
    for (double sx = 1.0; sx < 3.0; sx += 0.037) {
        const DialogUnitScale scale{sx, sx * 1.1};
        for (int x = 0; x < 60; ++x) {
            const PixelRect left = MapDialogRect({x, x, 7, 5}, scale);
            const PixelRect right = MapDialogRect({x + 7, x + 5, 9, 4}, scale);
            ASSERT_EQ(left.left + left.width, right.left) << sx << " " << x;
            ASSERT_EQ(left.top + left.height, right.top) << sx << " " << x;
        }
    }
}

// The widget class each kind of control becomes, in ControlKind's order (a multi-line edit
// becomes a transcript box).
const char* const kClassOfKind[] = {"QLabel",
                                    "QCheckBox",
                                    "glassbench::ui::CCloseUpComboBox",
                                    "glassbench::ui::CCloseUpComboBox",
                                    "QLineEdit",
                                    "QLabel",
                                    "QGroupBox",
                                    "QPushButton",
                                    "QPushButton"};

TEST(OperatorDialog, EveryTemplateControlIsBuiltWithItsIdKindTextPlaceAndTabOrder) {
    QDialog dialog;
    const std::vector<QString> ports(serial::kPortCount, "/dev/null");
    const DialogTemplate& form = OperatorDialogTemplate();
    const BuiltDialog built = BuildDialog(dialog, form, ports, QIcon());
    const PixelRect client = MapDialogRect({0, 0, form.cx, form.cy}, built.Scale());
    EXPECT_EQ(dialog.minimumSize(), QSize(client.width, client.height));
    EXPECT_EQ(dialog.maximumSize(), dialog.minimumSize());
    ASSERT_EQ(built.Controls().size(), form.controls.size());
    std::set<int> ids;
    std::set<QWidget*> widgets;
    std::vector<QWidget*> tabStops;
    for (std::size_t i = 0; i < form.controls.size(); ++i) {
        const ControlTemplate& c = form.controls[i];
        QWidget* w = built.Controls()[i].widget;
        SCOPED_TRACE(std::to_string(i) + " " + std::string(c.text));
        ASSERT_EQ(built.Controls()[i].control, &c);
        widgets.insert(w);
        if (c.id != kNoId) {
            EXPECT_TRUE(ids.insert(c.id).second) << "id used twice: " << c.id;
            EXPECT_EQ(built.Control(c.id), w);
        }
        EXPECT_TRUE(w->inherits((c.style & kMultiLine) ? "glassbench::ui::CTranscriptBox"
                                                       : kClassOfKind[int(c.kind)]))
            << w->metaObject()->className();
        // Properties a widget does not have read as empty or false. A label shows an '&'.
        EXPECT_EQ(w->property("text").toString().toStdString(), c.text);
        EXPECT_TRUE(c.kind != ControlKind::Label ||
                    w->property("textFormat").toInt() == Qt::PlainText);
        EXPECT_EQ(w->property("editable").toBool(), c.kind == ControlKind::DropDownEdit);
        EXPECT_EQ(w->property("default").toBool(), c.kind == ControlKind::DefaultPushButton);
        EXPECT_EQ(w->property("readOnly").toBool(),
                  (c.style & kReadOnly) && w->inherits("QLineEdit"));
        // Frames let clicks through to the controls they frame, which lie beneath them.
        EXPECT_EQ(w->testAttribute(Qt::WA_TransparentForMouseEvents),
                  c.kind == ControlKind::GroupFrame);
        EXPECT_EQ(w->isHidden(), bool(c.style & kHidden));
        EXPECT_EQ(w->isEnabled(), !(c.style & kDisabled));
        const PixelRect r = MapDialogRect(c.place, built.Scale());
        EXPECT_EQ(w->pos(), QPoint(r.left, r.top));
        if (c.kind == ControlKind::DropDownList || c.kind == ControlKind::DropDownEdit) {
            // The closed box is one line high; the template's height is the drop-down's.
            EXPECT_EQ(w->width(), r.width);
            EXPECT_LT(w->height(), r.height);
            EXPECT_EQ(static_cast<QComboBox*>(w)->currentIndex(), -1);
        } else if (c.kind == ControlKind::Label) {
            // A caption never clips its own text.
            EXPECT_GE(w->width(), r.width);
            EXPECT_GE(w->height(), r.height);
        } else if (c.kind != ControlKind::Icon && c.kind != ControlKind::CheckBox) {
            EXPECT_EQ(w->size(), QSize(r.width, r.height));
        }
        // A click at a control's middle reaches it.
        if (c.id != kNoId && !w->isHidden()) {
            QWidget* hit = dialog.childAt(w->geometry().center());
            EXPECT_TRUE(hit == w || w->isAncestorOf(hit));
        }
        if (c.style & kTabStop) {
            tabStops.push_back(w);
        }
    }
    // Tab walks the tab stops, and only them, in template order, from where the focus starts.
    ASSERT_FALSE(tabStops.empty());
    EXPECT_EQ(built.FirstTabStop(), tabStops.front());
    std::vector<QWidget*> walked;
    QWidget* w = tabStops.front();
    do {
        if (widgets.count(w) != 0 && (w->focusPolicy() & Qt::TabFocus)) {
            walked.push_back(w);
        }
        w = w->nextInFocusChain();
    } while (w != tabStops.front());
    EXPECT_EQ(walked, tabStops);
    // The Speed list and the speed table agree on what a position means.
    auto* speeds = static_cast<QComboBox*>(built.Control(kIdcSpeed));
    ASSERT_EQ(speeds->count(), serial::kSpeedCount);
    for (int i = 0; i < serial::kSpeedCount; ++i) {
        EXPECT_EQ(speeds->itemText(i).toStdString(),
                  std::string(serial::SpeedTable[i].text) + " Baud");
    }
}

TEST(AppIcon, IsDrawnAtSixteenThirtyTwoAndFortyEightPixels) {
    EXPECT_EQ(LoadAppIcon().availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
    for (int size : kIconSizes) {
        const QImage image = DrawAppIcon(size).toImage();
        // Drawn, not empty: the screen's green is there and the corners stay transparent.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;
        EXPECT_EQ(image.pixelColor(size * 13 / 16, size * 21 / 32).green(), 200) << size;
    }
}

// --- the close-up list -----------------------------------------------------------------------

TEST(CloseUpComboBox, ReportsEveryRealCloseOnceAfterTheChoiceApplies) {
    QDialog window;
    window.resize(400, 300);
    auto* box = new CCloseUpComboBox(&window);
    box->setGeometry(10, 10, 150, 24);
    box->addItems({"1200 Baud", "2400 Baud", "4800 Baud", "9600 Baud"});
    box->setCurrentIndex(3);
    std::vector<int> seen;  // the selection each close-up's handler reads
    QObject::connect(box, &CCloseUpComboBox::closedUp,
                     [&] { seen.push_back(box->currentIndex()); });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QAbstractItemView* view = box->view();
    // The signal is queued, never sent from inside the close before the list shows the choice.
    const auto closeUps = [&] {
        EXPECT_EQ(seen, std::vector<int>{}) << "signalled from inside the close";
        ProcessEventsUntil([] { return false; }, 100ms);
        EXPECT_FALSE(view->isVisible());
        return std::exchange(seen, {});
    };
    box->showPopup();
    box->hidePopup();
    box->hidePopup();
    EXPECT_EQ(closeUps(), std::vector<int>{3});
    box->showPopup();
    const QPoint entry = view->visualRect(view->model()->index(1, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry);
    EXPECT_EQ(closeUps(), std::vector<int>{1});
    // Qt gives a press outside an open popup to the popup, which closes itself.
    box->showPopup();
    const QPoint outside = view->window()->mapFromGlobal(window.mapToGlobal(QPoint(350, 250)));
    QTest::mouseClick(view->window(), Qt::LeftButton, {}, outside);
    EXPECT_EQ(closeUps(), std::vector<int>{1});
    box->showPopup();
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(closeUps(), std::vector<int>{1});
    box->showPopup();
    box->hide();  // with its list open
    box->show();
    EXPECT_EQ(closeUps(), std::vector<int>{1});
    box->hide();  // with no list open: QComboBox calls hidePopup all the same
    box->show();
    EXPECT_EQ(closeUps(), std::vector<int>{});
    // A choose-only list changes by its drop-down alone: never by the wheel or a typed letter.
    QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    box->SetChoiceOnlyFromDropDown(true);
    box->setFocus();
    QApplication::sendEvent(box, &wheel);
    QTest::keyClick(box, Qt::Key_9);
    EXPECT_EQ(box->currentIndex(), 1);
    box->SetChoiceOnlyFromDropDown(false);
    QApplication::sendEvent(box, &wheel);
    EXPECT_NE(box->currentIndex(), 1);
}

// --- the transcript box, in the dialog's font and in a fixed-pitch one -----------------------

class TranscriptBoxTest : public ::testing::TestWithParam<bool> {};

TEST_P(TranscriptBoxTest, ShowsExactlyTheConcatenatedTextWrappedAsAFreshWrapWould) {
    CTranscriptBox box;
    CTranscriptBox fresh;
    for (CTranscriptBox* b : {&box, &fresh}) {
        if (GetParam()) {
            b->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        }
        b->resize(300, 120);
        b->show();
    }
    const auto lines = [](const CTranscriptBox& b) {
        std::vector<QString> lines;
        for (int i = 0; i < b.LineCount(); ++i) {
            lines.push_back(b.LineText(i));
        }
        return lines;
    };
    // Pieces of random length cut the text at every kind of place.
    std::mt19937 random(7);
    std::string all;
    for (int send = 0; send < 200; ++send) {
        std::string piece;
        for (int i = random() % 12; i >= 0; --i) {
            piece += "0123456789ABCDEF"[random() % 16];
            piece += "0123456789ABCDEF"[random() % 16];
            piece += ' ';
        }
        all += piece;
        box.Append(piece);
    }
    EXPECT_EQ(box.Text().toStdString(), all);
    fresh.Append(all);
    EXPECT_EQ(lines(box), lines(fresh));
    ASSERT_GT(box.LineCount(), 10);
    // Lines break after blanks, fit the box and, joined, give the text back with nothing added.
    QString joined;
    for (const QString& line : lines(box)) {
        EXPECT_TRUE(line.endsWith(' '));
        EXPECT_LE(QFontMetricsF(box.font()).horizontalAdvance(line.trimmed()),
                  box.viewport()->width());
        joined += line;
    }
    EXPECT_EQ(joined, box.Text());
    // The newest text is in view.
    EXPECT_GT(box.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());

    // A double click on the third byte selects it alone; Select All and Copy take everything.
    fresh.Clear();
    EXPECT_EQ(fresh.LineCount(), 1);
    fresh.Append("AA 04 80 00 2E ");
    const int x = 2 + static_cast<int>(QFontMetricsF(fresh.font()).horizontalAdvance("AA 04 8"));
    QTest::mouseDClick(fresh.viewport(), Qt::LeftButton, {}, QPoint(x, 3));
    EXPECT_EQ(fresh.SelectedText(), "80");
    fresh.SelectAll();
    fresh.CopySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), "AA 04 80 00 2E ");
    fresh.Clear();
    EXPECT_EQ(fresh.Text() + fresh.SelectedText(), "");
    // A word wider than the box is broken anywhere.
    fresh.Append(std::string(400, 'F'));
    EXPECT_GT(fresh.LineCount(), 1);
    EXPECT_EQ(fresh.Text(), QString(400, 'F'));
}

INSTANTIATE_TEST_SUITE_P(Fonts, TranscriptBoxTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "FixedPitch" : "DialogFont"; });

}  // namespace
}  // namespace glassbench::ui::testing
