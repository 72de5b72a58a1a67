// The real Qt window on the offscreen platform, operated as a person would (drop-downs, clicks,
// keys): what Qt itself must get right. The dialog's logic behind it is tested on its own
// (tests/ui_logic); here the toolkit seam is recorded and the virtual display module is on the
// other end of the port.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTimer>

#include "Ser2net.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "serial/PortTables.h"
#include "ui/qt/QtPanelWindow.h"
#include "ui/qt/SystemMenu.h"
#include "ui/qt/TranscriptBox.h"

namespace glassbench::ui::testing {
namespace {

using namespace glassbench::ui::qt;

const std::string kFrame = "AA 04 80 00 2E ";  // Clear Screen, and the module's good reply to it

class DialogTest : public ::testing::Test {
  protected:
    // Thirty device paths that do not exist, with the virtual module (started with `options`)
    // at position 0, or with ser2net in front of it as a network port of kind `network`.
    void Start(const std::vector<std::string>& options = {}, const std::string& network = "") {
        module_ = std::make_unique<VirtualModule>(scratch_.path() / "module", options);
        ASSERT_TRUE(module_->Ready()) << module_->out() << module_->err();
        serial::PortNames names;
        for (std::size_t i = 0; i < names.size(); ++i) {
            names[i] = (scratch_.path() / ("missing" + std::to_string(i))).string();
        }
        names[0] = module_->Link();
        if (!network.empty()) {
            server_ = std::make_unique<glassbench::testing::Ser2net>(module_->Link(), network);
            ASSERT_FALSE(server_->Name().empty()) << server_->Error();
            names[0] = server_->Name();
        }
        link_ = std::make_unique<serial::SerialLink>(std::make_unique<RecordingSerialSystem>(log_),
                                                     names, &toolkit_);
        window_ = std::make_unique<QtPanelWindow>(*link_, toolkit_);
        toolkit_.SetDialog(window_->Owner());
        ASSERT_TRUE(window_->Logic().OnInitDialog());
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        log_.clear();
    }

    template <class T = QWidget>
    T* Get(int id) const {
        return static_cast<T*>(window_->Control(id));
    }
    std::string Text(int id) const { return Get<QLineEdit>(id)->text().toStdString(); }
    // Drops list `id` down and clicks entry `index`, or closes it with Escape when -1.
    void Choose(int id, int index) {
        QAbstractItemView* view = Get<QComboBox>(id)->view();
        Get<QComboBox>(id)->showPopup();
        ASSERT_TRUE(view->isVisible());
        if (index < 0) {
            QTest::keyClick(view, Qt::Key_Escape);
        } else {
            const QModelIndex item = view->model()->index(index, 0);
            view->scrollTo(item);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(item).center());
        }
        ASSERT_FALSE(view->isVisible());
    }
    void Click(int id) { QTest::mouseClick(window_->Control(id), Qt::LeftButton); }
    // Lets the queued handlers run until the log is as long as `expected`, and a little longer
    // to catch anything more.
    void Settle(const Log& expected) {
        ProcessEventsUntil([&] { return log_.size() >= expected.size(); });
        ProcessEventsUntil([] { return false; }, 50ms);
    }
    // Runs `action` and presses Escape in the modal window it opens, from inside that window's
    // modal run; a window that ignores the key is rejected, so that the test fails instead of
    // hanging. Returns the window's class, "" when none opened.
    std::string EscapeFromModal(const std::function<void()>& action) {
        std::string seen;
        bool looked = false;
        QTimer::singleShot(0, window_.get(), [&] {
            looked = true;
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                seen = modal->metaObject()->className();
                QTest::keyClick(modal, Qt::Key_Escape);
                seen += modal->isVisible() ? " ignored Escape" : "";
                modal->reject();
            }
        });
        action();
        ProcessEventsUntil([&] { return looked; });
        return seen;
    }

    glassbench::testing::TempDir scratch_;
    std::unique_ptr<VirtualModule> module_;
    std::unique_ptr<glassbench::testing::Ser2net> server_;
    Log log_;
    RecordingToolkit toolkit_{log_};
    std::unique_ptr<serial::SerialLink> link_;
    std::unique_ptr<QtPanelWindow> window_;
};

// --- the keyboard filter ---------------------------------------------------------------------

TEST_F(DialogTest, ArrowsAndControlCharactersAreSwallowedButNoAltCombination) {
    const auto ctrl = Qt::ControlModifier, alt = Qt::AltModifier, shift = Qt::ShiftModifier;
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
        bool swallowed;  // the field never sees the key: "12" stays, the focus goes to Data
        const char* after = nullptr;  // the text after a key that goes through, when checked
    } cases[] = {
        {Qt::Key_Escape, {}, "\x1b", true},   // does not close the window
        {Qt::Key_Return, {}, "\r", true},     // presses no button
        {Qt::Key_Backspace, {}, "\b", true},  // does not delete
        {Qt::Key_Tab, {}, "\t", true},
        {Qt::Key_Left, shift, "", true},
        // X11 reports Ctrl+C with the control character, test tools with the letter itself.
        {Qt::Key_C, ctrl, "\x03", true},
        {Qt::Key_V, ctrl, "", true},  // does not paste
        {Qt::Key_Delete, {}, "\x7f", false, "1"},
        {Qt::Key_Eacute, {}, "\u00e9", false, "1\u00e92"},
        {Qt::Key_F4, alt, "", false},
        {Qt::Key_Down, alt, "", false},       // opens a list
        {Qt::Key_Q, ctrl | alt, "@", false},  // AltGr on Windows keyboards
    };
    Start();
    QApplication::clipboard()->setText("99");
    QLineEdit* field = Get<QLineEdit>(kIdcXaddress);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        field->setText("12");
        field->setCursorPosition(1);
        field->setFocus();
        ASSERT_TRUE(ProcessEventsUntil([&] { return field->hasFocus(); }));
        // Qt offers a key to the shortcuts before the field; none may take a swallowed key.
        int shortcuts = 0;
        QShortcut shortcut(QKeySequence(c.key | c.modifiers), window_.get());
        shortcut.setEnabled(c.swallowed);
        QObject::connect(&shortcut, &QShortcut::activated, [&] { ++shortcuts; });
        QTest::sendKeyEvent(QTest::Click, field, c.key, QString::fromUtf8(c.text), c.modifiers);
        EXPECT_EQ(QApplication::focusWidget(), c.swallowed ? window_->Control(kIdcData) : field);
        if (c.swallowed || c.after != nullptr) {
            EXPECT_EQ(Text(kIdcXaddress), c.swallowed ? "12" : c.after);
        }
        EXPECT_EQ(shortcuts, 0);
        EXPECT_TRUE(window_->isVisible());
        EXPECT_EQ(window_->TranscriptText(kIdcSendLog), "");
    }
}

TEST_F(DialogTest, NoKeyChangesAListButItsDropDown) {
    Start();
    // The filter covers an open list too, which Qt makes a window of its own: Down and Enter
    // there choose nothing, and no preset is loaded.
    auto* command = Get<QComboBox>(kIdcCommand);
    command->setFocus();
    command->showPopup();
    ASSERT_TRUE(command->view()->isVisible());
    QTest::keyClick(command->view(), Qt::Key_Down);
    QTest::keyClick(command->view(), Qt::Key_Return);
    ProcessEventsUntil([] { return false; }, 50ms);
    EXPECT_EQ(command->currentIndex(), 0);
    EXPECT_FALSE(command->view()->isVisible());
    EXPECT_EQ(window_->focusWidget(), window_->Control(kIdcData));
    // Nor do Home, End, PageUp or PageDown change a closed Port or Speed list, which must show
    // what was opened.
    for (const int id : {kIdcPort, kIdcSpeed}) {
        auto* list = Get<QComboBox>(id);
        const int before = list->currentIndex();
        list->setFocus();
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp, Qt::Key_PageDown}) {
            QTest::keyClick(list, key);
        }
        EXPECT_EQ(list->currentIndex(), before) << id;
    }
    Settle({});
    EXPECT_EQ(log_, Log{});  // and nothing reopened the port
}

// --- lists, sends, the system menu -----------------------------------------------------------

TEST_F(DialogTest, ACloseUpReopensThePortAndProgramSelectionsDoNothing) {
    Start();
    const std::string missing = (scratch_.path() / "missing5").string();
    Choose(kIdcSpeed, -1);
    Settle(Opened(module_->Link()));
    EXPECT_EQ(log_, Opened(module_->Link()));
    log_.clear();
    Choose(kIdcPort, 5);
    const Log failed{"open " + missing,
                     "message Error/exclamation/dialog: Could not open port " + missing + "."};
    Settle(failed);
    EXPECT_EQ(log_, failed);
    EXPECT_EQ(Get<QComboBox>(kIdcPort)->currentIndex(), -1);
    // Selections that come with no close-up reopen nothing, and load no preset.
    log_.clear();
    Get<QLineEdit>(kIdcData)->setText("typed");
    for (const int id : {kIdcPort, kIdcSpeed, kIdcCommand}) {
        Get<QComboBox>(id)->setCurrentIndex(2);
    }
    Settle({});
    EXPECT_EQ(log_, Log{});
    EXPECT_EQ(Text(kIdcData), "typed");
}

// A network port opens, reopens on a close-up (at another speed, which the server sets) and
// carries the exchange as a local one does.
TEST_F(DialogTest, ANetworkPortReopensAndSendsAsALocalOneDoes) {
    Start({}, "rfc2217");
    Choose(kIdcSpeed, 6);
    Settle(Opened(server_->Name(), "115200"));
    EXPECT_EQ(log_, Opened(server_->Name(), "115200"));
    log_.clear();
    Click(kIdcSendData);
    EXPECT_EQ(window_->TranscriptText(kIdcSendLog) + "|" + window_->TranscriptText(kIdcRecvLog),
              kFrame + "|" + kFrame);
    EXPECT_TRUE(module_->Printed("Clear Screen data=[00] checksum=2E good -> status 0\n"));
}

TEST_F(DialogTest, SendToTheModuleShowsFrameAndReplyInLatin1) {
    Start();
    Click(kIdcSendData);
    EXPECT_EQ(window_->TranscriptText(kIdcSendLog) + "|" + window_->TranscriptText(kIdcRecvLog),
              kFrame + "|" + kFrame);
    EXPECT_TRUE(module_->Printed("Clear Screen data=[00] checksum=2E good -> status 0\n"));
    // A character outside Latin-1 becomes '?', a non-digit like any other; the field then
    // shows the text as it was read.
    Get<QComboBox>(kIdcCommand)->setCurrentIndex(1);
    Get<QLineEdit>(kIdcData)->setText(QString::fromUtf8("\u4e2d1 \u00e92"));
    Click(kIdcClearDisplay);
    Click(kIdcSendData);
    EXPECT_EQ(window_->TranscriptText(kIdcSendLog) + "|" + window_->TranscriptText(kIdcRecvLog),
              "AA 05 81 F1 F2 13 |AA 04 81 00 2F ");
    EXPECT_EQ(Get<QLineEdit>(kIdcData)->text().toStdString(), "?1 \u00e92");
    EXPECT_EQ(Text(kIdcCheckSum), "13");
    // The wait for the reply shows the busy cursor; nothing else was reported.
    EXPECT_EQ(log_, (Log{"busy on", "busy off", "busy on", "busy off"}));
    // The Data Send transcript shows bytes in columns: a fixed-pitch font.
    const QFontMetrics sendFont(Get(kIdcSendLog)->font());
    EXPECT_EQ(sendFont.horizontalAdvance('i'), sendFont.horizontalAdvance('W'));
}

TEST_F(DialogTest, NoControlCutsItsTextAtItsLongestEntry) {
    Start();
    // Also run at QT_SCALE_FACTOR=2 (ctest's ui_layout_at_scale_2), which must take.
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        EXPECT_EQ(window_->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }
    for (const BuiltControl& built : window_->Controls().Controls()) {
        QWidget* w = built.widget;
        const QFontMetrics metrics(w->font());
        int room = w->width();
        int needed = 0;
        if (auto* list = qobject_cast<QComboBox*>(w)) {
            if (built.control->source == ListSource::PortTable) {
                continue;  // device paths are elided at their start, with a tooltip
            }
            QStyleOptionComboBox option;
            option.initFrom(list);
            option.editable = list->isEditable();
            room = list->style()
                       ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                        list)
                       .width();
            for (int i = 0; i < list->count(); ++i) {
                needed = std::max(needed, metrics.horizontalAdvance(list->itemText(i)));
            }
            needed += 2;  // the label is drawn a pixel inside the edit field on each side
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            QStyleOptionButton option;
            option.initFrom(button);
            room = button->style()
                       ->subElementRect(QStyle::SE_PushButtonContents, &option, button)
                       .width();
            needed = metrics.horizontalAdvance(button->text());
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            needed = metrics.horizontalAdvance(label->text());
        }
        EXPECT_GE(room, needed) << built.control->text << " " << built.control->id;
    }
}

// The closed Port box cuts a long name (the module's link here, in a temporary folder); its
// drop-down shows it whole, wider than the box, and its tooltip names it in full.
TEST_F(DialogTest, ThePortListShowsLongNamesWholeInItsDropDownAndItsTooltip) {
    Start();
    auto* port = Get<QComboBox>(kIdcPort);
    const QString name = QString::fromStdString(module_->Link());
    const int needed = port->view()->fontMetrics().horizontalAdvance(name);
    ASSERT_LT(port->width(), needed);
    port->showPopup();
    QAbstractItemView* view = port->view();
    ASSERT_TRUE(view->isVisible());
    EXPECT_GT(view->viewport()->width(), needed);
    EXPECT_LE(view->window()->geometry().right(), port->screen()->geometry().right());
    QTest::keyClick(view, Qt::Key_Escape);
    Settle({"open " + module_->Link()});

    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), port->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(port, &help);
    EXPECT_EQ(port->toolTip(), name);
}

TEST_F(DialogTest, TheBackgroundMenuStandsInForTheSystemMenu) {
    Start();
    // Where no system menu can take the item, a popup from a right click on the background does.
    const QPoint corner(window_->width() - 3, window_->height() - 3);
    QContextMenuEvent request(QContextMenuEvent::Mouse, corner, window_->mapToGlobal(corner));
    QApplication::sendEvent(window_.get(), &request);
    QMenu* menu = window_->SystemMenuOf()->PopupMenu();
    ASSERT_EQ(QApplication::activePopupWidget(), menu);
    menu->hide();
    EXPECT_EQ(EscapeFromModal([&] { menu->actions().back()->trigger(); }),
              "glassbench::ui::qt::CAboutDlg");
    window_->Logic().OnSystemCommand(kScClose);
    EXPECT_FALSE(window_->isVisible());
}

}  // namespace
}  // namespace glassbench::ui::testing
