// The window's parts on their own: dialog units and the dialog built from its template, the
// close-up list, the transcript box and the icon.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
#include <random>
#include <utility>

#include "IconArt.h"
#include "UiTestSupport.h"
#include "serial/PortTables.h"
#include "ui/qt/AppIcon.h"
#include "ui/qt/CloseUpComboBox.h"
#include "ui/qt/DialogBuilder.h"
#include "ui/qt/TranscriptBox.h"

namespace glassbench::ui::testing {
namespace {

using namespace glassbench::ui::qt;

// --- dialog units and the built dialog ----------------------------------------------------------

TEST(DialogUnits, EdgesAreRoundedSoThatTouchingControlsStillTouch) {
    // A unit is a quarter of the average character and an eighth of the font's height.
    EXPECT_DOUBLE_EQ(ScaleForFont(312.0, 16.0).x * ScaleForFont(312.0, 16.0).y, 3.0);
    // Each edge is rounded on its own, so round(129 * 1.5) = 194 would be a pixel too wide.
    for (double sx = 1.0; sx < 3.0; sx += 0.037) {
        for (int x = 0; x < 60; ++x) {
            const PixelRect left = MapDialogRect({x, x, 7, 5}, {sx, sx * 1.1});
            const PixelRect right = MapDialogRect({x + 7, x + 5, 9, 4}, {sx, sx * 1.1});
            ASSERT_EQ(left.left + left.width, right.left) << sx << " " << x;
            ASSERT_EQ(left.top + left.height, right.top) << sx << " " << x;
        }
    }
}

TEST(OperatorDialog, EveryTemplateControlIsBuiltInItsPlaceAndTabOrder) {
    QDialog dialog;
    const DialogTemplate& form = OperatorDialogTemplate();
    serial::PortNames ports;
    ports.fill("/dev/null");
    const BuiltDialog built = BuildDialog(dialog, form, ports, QIcon());
    ASSERT_EQ(built.Controls().size(), form.controls.size());
    std::vector<QWidget*> widgets, tabStops;
    for (std::size_t i = 0; i < form.controls.size(); ++i) {
        const ControlTemplate& c = form.controls[i];
        QWidget* w = built.Controls()[i].widget;
        SCOPED_TRACE(std::to_string(i) + " " + std::string(c.text));
        ASSERT_EQ(built.Controls()[i].control, &c);
        widgets.push_back(w);
        EXPECT_TRUE(c.id == kNoId || built.Control(c.id) == w);
        EXPECT_EQ(w->property("text").toString().toStdString(), c.text);
        const PixelRect r = MapDialogRect(c.place, built.Scale());
        EXPECT_EQ(w->pos(), QPoint(r.left, r.top));
        // A control may grow to fit its text (DialogTest checks that none cuts it), never
        // shrink; a closed list is one line high.
        EXPECT_TRUE(c.kind == ControlKind::Icon || c.kind == ControlKind::CheckBox ||
                    w->width() >= r.width);
        // A click at a control's middle reaches it; frames let clicks through.
        if (c.id != kNoId && !w->isHidden()) {
            QWidget* hit = dialog.childAt(w->geometry().center());
            EXPECT_TRUE(hit == w || w->isAncestorOf(hit));
        }
        if (c.style & kTabStop) {
            tabStops.push_back(w);
        }
    }
    // Tab walks the tab stops, and only them, in template order, from where the focus starts.
    ASSERT_EQ(built.FirstTabStop(), tabStops.at(0));
    std::vector<QWidget*> walked;
    QWidget* w = tabStops.front();
    do {
        if (std::count(widgets.begin(), widgets.end(), w) && (w->focusPolicy() & Qt::TabFocus)) {
            walked.push_back(w);
        }
        w = w->nextInFocusChain();
    } while (w != tabStops.front());
    EXPECT_EQ(walked, tabStops);
}

TEST(AppIcon, TheImagesBothProgramsCarryAreTheArtwork) {
    // Redrawn here and compared with the committed files: scripts/make-icons.sh remakes them.
    const QString dir = QStringLiteral(GLASSBENCH_SOURCE_DIR "/data/icons/");
    std::vector<QByteArray> pngs;
    QList<QSize> sizes;
    for (const int size : icons::kIconSizes) {
        QFile file(dir + QStringLiteral("glassbench-%1.png").arg(size));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << size;
        pngs.push_back(file.readAll());
        const QImage committed = QImage::fromData(pngs.back(), "PNG");
        EXPECT_EQ(committed.convertToFormat(QImage::Format_ARGB32),
                  icons::DrawIcon(size).convertToFormat(QImage::Format_ARGB32))
            << size;
        sizes.push_back({size, size});
    }
    QFile ico(dir + QStringLiteral("glassbench.ico"));
    ASSERT_TRUE(ico.open(QIODevice::ReadOnly));
    EXPECT_EQ(ico.readAll(), icons::IcoFile(pngs));
    EXPECT_EQ(LoadAppIcon().availableSizes(), sizes);
    // Drawn, not empty: the screen's green is there and the corners stay transparent.
    const QImage image = icons::DrawIcon(32);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(image.pixelColor(26, 21).green(), 200);
}

// --- the close-up list -----------------------------------------------------------------------

TEST(CloseUpComboBox, ReportsEveryRealCloseOnceAfterTheChoiceApplies) {
    QDialog window;
    window.resize(400, 300);
    auto* box = new CloseUpComboBox(&window);
    box->setGeometry(10, 10, 150, 24);
    box->addItems({"1200 Baud", "2400 Baud", "4800 Baud", "9600 Baud"});
    box->setCurrentIndex(3);
    std::vector<int> seen;  // the selection each close-up's handler reads
    QObject::connect(box, &CloseUpComboBox::closedUp, [&] { seen.push_back(box->currentIndex()); });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QAbstractItemView* view = box->view();
    const QPoint outside = window.mapToGlobal(QPoint(350, 250));
    // Each real close signals once, queued, never from inside the close before the list shows
    // the choice; a hide with no list open (QComboBox calls hidePopup all the same) signals
    // nothing.
    const struct {
        std::function<void()> close;
        std::vector<int> seen;
    } closes[] = {
        {[&] { box->hidePopup(), box->hidePopup(); }, {3}},
        {[&] {
             QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                               view->visualRect(view->model()->index(1, 0)).center());
         },
         {1}},
        // Qt gives a press outside an open popup to the popup, which closes itself.
        {[&] {
             QTest::mouseClick(view->window(), Qt::LeftButton, {},
                               view->window()->mapFromGlobal(outside));
         },
         {1}},
        {[&] { QTest::keyClick(view, Qt::Key_Escape); }, {1}},
        {[&] { box->hide(), box->show(); }, {1}},
        {[&] { box->hide(), box->show(); }, {}},  // no list open
    };
    for (const auto& c : closes) {
        SCOPED_TRACE(&c - closes);
        if (!c.seen.empty()) {
            box->showPopup();
        }
        c.close();
        EXPECT_EQ(seen, std::vector<int>{}) << "signalled from inside the close";
        ProcessEventsUntil([] { return false; }, 100ms);
        EXPECT_FALSE(view->isVisible());
        EXPECT_EQ(std::exchange(seen, {}), c.seen);
    }
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
    TranscriptBox box;
    TranscriptBox fresh;
    for (TranscriptBox* b : {&box, &fresh}) {
        if (GetParam()) {
            b->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        }
        b->resize(300, 120);
        b->show();
    }
    // Pieces of random length cut the text at every kind of place.
    std::mt19937 random(7);
    std::string all;
    for (int send = 0; send < 200; ++send) {
        std::string piece;
        for (int i = random() % 12; i >= 0; --i) {
            piece += {"0123456789ABCDEF"[random() % 16], "0123456789ABCDEF"[random() % 16], ' '};
        }
        all += piece;
        box.Append(piece);
    }
    EXPECT_EQ(box.Text().toStdString(), all);
    fresh.Append(all);
    ASSERT_GT(box.LineCount(), 10);
    ASSERT_EQ(box.LineCount(), fresh.LineCount());
    // Lines break after blanks, fit the box and, joined, give the text back with nothing added.
    QString joined;
    for (int i = 0; i < box.LineCount(); ++i) {
        const QString line = box.LineText(i);
        EXPECT_EQ(line, fresh.LineText(i));
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
    fresh.Append("AA 04 80 00 2E ");
    const int x = 2 + static_cast<int>(QFontMetricsF(fresh.font()).horizontalAdvance("AA 04 8"));
    QTest::mouseDClick(fresh.viewport(), Qt::LeftButton, {}, QPoint(x, 3));
    EXPECT_EQ(fresh.SelectedText(), "80");
    fresh.SelectAll();
    fresh.CopySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), "AA 04 80 00 2E ");
    // A word wider than the box is broken anywhere.
    fresh.Clear();
    fresh.Append(std::string(400, 'F'));
    EXPECT_GT(fresh.LineCount(), 1);
    EXPECT_EQ(fresh.Text(), QString(400, 'F'));
}

INSTANTIATE_TEST_SUITE_P(Fonts, TranscriptBoxTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "FixedPitch" : "DialogFont"; });

}  // namespace
}  // namespace glassbench::ui::testing
