// The real operator dialog on the offscreen platform, operated as a person would (list drop-
// downs, clicks, keys), with the toolkit seam and the serial services recorded into one log
// and the virtual display module on the other end of the port.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QTest>
#include <QTimer>

#include "TempDir.h"
#include "UiTestSupport.h"
#include "serial/PortTables.h"
#include "ui/DialogPlatform.h"
#include "ui/PanelConsoleDlg.h"
#include "ui/TranscriptBox.h"

namespace glassbench::ui::testing {
namespace {

const std::string kFrame = "AA 04 80 00 2E ";  // Clear Screen, and the module's good reply to it
const std::string kFrameSeen = "Clear Screen data=[00] checksum=2E good -> status 0\n";

// What a successful open logs: the link raises both lines while it sets the port up, then the
// window drops them for a second under the busy cursor and confirms the port.
Log Opened(const std::string& device, const std::string& speed = "9600") {
    return "open " + device + "\nmodem 1 1\nbusy on\nmodem 0 0\npause 1000\nmodem 1 1\n" +
           "message Orvane Glassbench/information/dialog: Port " + device + " opened at " + speed +
           " baud.\nbusy off\n";
}

Log Error(const std::string& text) {
    return "message Error/exclamation/dialog: " + text + "\n";
}

class DialogTest : public ::testing::Test {
  protected:
    // Each test runs in its own folder, where it may put a preset file.
    DialogTest() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(scratch.path());
    }
    ~DialogTest() override { std::filesystem::current_path(previous_); }

    // Thirty device paths that do not exist, with a new virtual module (started with `options`)
    // at `modulePosition` unless that is -1.
    serial::PortNames Ports(int modulePosition = -1, const std::vector<std::string>& options = {}) {
        serial::PortNames names;
        for (std::size_t i = 0; i < names.size(); ++i) {
            names[i] = (scratch.path() / ("missing" + std::to_string(i))).string();
        }
        if (modulePosition >= 0) {
            module.reset();
            module = std::make_unique<VirtualModule>(scratch.path() / "module", options);
            EXPECT_TRUE(module->Ready()) << module->out() << module->err();
            names[static_cast<std::size_t>(modulePosition)] = module->Link();
        }
        return names;
    }

    // A new dialog, started as the application starts it unless `init` is false (then it is
    // only constructed, which loads the Clear Screen preset).
    void Start(const serial::PortNames& names, bool init = true) {
        log.clear();
        dialog.reset();
        link = std::make_unique<serial::SerialLink>(std::make_unique<RecordingSerialSystem>(log),
                                                    names, &toolkit);
        dialog = std::make_unique<CPanelConsoleDlg>(*link, toolkit);
        toolkit.SetDialog(dialog.get());
        if (init) {
            ASSERT_TRUE(dialog->OnInitDialog());
            dialog->show();
            dialog->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        }
    }

    template <class T = QWidget>
    T* Get(int id) const {
        return static_cast<T*>(dialog->Control(id));
    }
    // What a field, a list or a transcript shows.
    std::string Text(int id) const {
        QWidget* control = dialog->Control(id);
        const QVariant text =
            control->property(control->inherits("QComboBox") ? "currentText" : "text");
        return (text.isValid() ? text.toString() : static_cast<CTranscriptBox*>(control)->Text())
            .toStdString();
    }
    // Lengh|Xaddress|Yaddress|Data|CheckSum
    std::string Fields() const {
        return Text(kIdcLengh) + "|" + Text(kIdcXaddress) + "|" + Text(kIdcYaddress) + "|" +
               Text(kIdcData) + "|" + Text(kIdcCheckSum);
    }
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
    void Click(int id) { QTest::mouseClick(dialog->Control(id), Qt::LeftButton); }
    // Lets the queued handlers run until the log is as long as `expected`, and a little longer
    // to catch anything more.
    void Settle(const Log& expected) {
        ProcessEventsUntil([&] { return log.size() >= expected.size(); });
        ProcessEventsUntil([] { return false; }, 50ms);
    }
    // Runs `action` and presses Escape in the modal window it opens, from inside that window's
    // modal run; a window that ignores the key is rejected, so that the test fails instead of
    // hanging. Returns the window's class, "" when none opened.
    std::string EscapeFromModal(const std::function<void()>& action) {
        std::string seen;
        bool looked = false;
        QTimer::singleShot(0, dialog.get(), [&] {
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

    glassbench::testing::TempDir scratch;
    std::unique_ptr<VirtualModule> module;
    Log log;
    RecordingToolkit toolkit{log};
    std::unique_ptr<serial::SerialLink> link;
    std::unique_ptr<CPanelConsoleDlg> dialog;

  private:
    std::filesystem::path previous_;
};

// --- start-up --------------------------------------------------------------------------------

TEST_F(DialogTest, StartUpOpensTheSecondPositionWhenOnlyItOpens) {
    const serial::PortNames missing = Ports(0);
    ::setenv("GLASSBENCH_PORTS", (missing[1] + ":" + module->Link()).c_str(), 1);
    const serial::PortNames names = serial::PortNameTable();
    ::unsetenv("GLASSBENCH_PORTS");
    Start(names);
    EXPECT_EQ(log, "open " + missing[1] + "\n" + Opened(module->Link()));
    EXPECT_EQ(Get<QComboBox>(kIdcPort)->currentIndex(), 1);
    EXPECT_TRUE(link->IsReady());
}

TEST_F(DialogTest, StartUpWithNoOpenablePortReportsOnceAndTakesThePresetStartValues) {
    // TRANSPRENT and FONTTYPE are read as C reads a number (blanks, a sign, digits up to the
    // first other character); too large selects the first entry, negative nothing.
    const struct {
        const char* ini;       // nullptr: no preset file
        const char* expected;  // the fields, then the Transparent and Font Size positions
    } cases[] = {
        {nullptr, "4|0|0|0|0|0|0"},
        {"[ClearScreen]\nLENGH=9\nXADDRESS=12\nYADDRESS=34\nDATA=01 02\nCHECKSUM=ff\n",
         "9|12|34|01 02|ff|0|0"},
        {"[ClearScreen]\nTRANSPRENT=1\n", "4|0|0|0|0|1|0"},
        {"[ClearScreen]\nTRANSPRENT=2\n", "4|0|0|0|0|0|0"},
        {"[ClearScreen]\nTRANSPRENT=-1\n", "4|0|0|0|0|-1|0"},
        {"[ClearScreen]\nTRANSPRENT=  +1x\n", "4|0|0|0|0|1|0"},
        {"[ClearScreen]\nFONTTYPE=5\n", "4|0|0|0|0|0|5"},
        {"[ClearScreen]\nFONTTYPE=6\n", "4|0|0|0|0|0|0"},
        {"[ClearScreen]\nFONTTYPE=-2\n", "4|0|0|0|0|0|-1"},
        {"[DrawLine]\nTRANSPRENT=1\nFONTTYPE=3\nDATA=77\n", "4|0|0|0|0|0|0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini ? c.ini : "no file");
        std::filesystem::remove(scratch.path() / "Scom.ini");
        if (c.ini != nullptr) {
            scratch.Write("Scom.ini", c.ini);
        }
        const serial::PortNames names = Ports();
        Start(names);
        // Every one of the thirty is tried, then one error; no Port is selected.
        Log expected;
        for (const std::string& name : names) {
            expected += "open " + name + "\n";
        }
        EXPECT_EQ(log, expected + Error("Could not open any of the serial ports."));
        EXPECT_EQ(Get<QComboBox>(kIdcPort)->currentIndex(), -1);
        EXPECT_EQ(Text(kIdcCommand) + "|" + Text(kIdcLcdType) + "|" + Text(kIdcSpeed),
                  "Clear Screen|Uart LCDs|9600 Baud");
        EXPECT_EQ(QApplication::focusWidget(), dialog->Control(kIdcData));
        EXPECT_EQ(Fields() + "|" + std::to_string(Get<QComboBox>(kIdcTransparent)->currentIndex()) +
                      "|" + std::to_string(Get<QComboBox>(kIdcFontSize)->currentIndex()),
                  c.expected);
    }
    // The Data Send transcript shows bytes in columns: a fixed-pitch font.
    const QFontMetrics sendFont(Get(kIdcSendLog)->font());
    EXPECT_EQ(sendFont.horizontalAdvance('i'), sendFont.horizontalAdvance('W'));
}

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
    Start(Ports());
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
        QShortcut shortcut(QKeySequence(c.key | c.modifiers), dialog.get());
        shortcut.setEnabled(c.swallowed);
        QObject::connect(&shortcut, &QShortcut::activated, [&] { ++shortcuts; });
        QTest::sendKeyEvent(QTest::Click, field, c.key, QString::fromUtf8(c.text), c.modifiers);
        EXPECT_EQ(QApplication::focusWidget(), c.swallowed ? dialog->Control(kIdcData) : field);
        if (c.swallowed || c.after != nullptr) {
            EXPECT_EQ(Text(kIdcXaddress), c.swallowed ? "12" : c.after);
        }
        EXPECT_EQ(shortcuts, 0);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->SendLog(), "");
    }
    // Nor does a list see an arrow.
    Get<QComboBox>(kIdcTransparent)->setFocus();
    QTest::keyClick(Get<QComboBox>(kIdcTransparent), Qt::Key_Down);
    EXPECT_EQ(Text(kIdcTransparent), "Yes");
}

// --- port and speed close-ups ----------------------------------------------------------------

TEST_F(DialogTest, EachCloseUpReopensThePortOnceAndAFailedReopenClearsThePort) {
    const serial::PortNames names = Ports(0);
    Start(names);
    const std::string& device = module->Link();
    const std::string missing = names[5];
    const struct {
        int list;
        int entry;  // -1: closed without a choice
        Log expected;
        int port;
    } steps[] = {
        {kIdcSpeed, -1, Opened(device), 0},
        {kIdcSpeed, 4, Opened(device, "19200"), 0},
        {kIdcPort, 5, "open " + missing + "\n" + Error("Could not open port " + missing + "."), -1},
        {kIdcSpeed, -1, Error("Could not open port (none)."), -1},
        {kIdcPort, 0, Opened(device, "19200"), 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        log.clear();
        Choose(step.list, step.entry);
        Settle(step.expected);
        EXPECT_EQ(log, step.expected);
        EXPECT_EQ(Get<QComboBox>(kIdcPort)->currentIndex(), step.port);
        // A failed reopen releases the port that was open before.
        EXPECT_EQ(link->HoldsDevice(), step.port >= 0);
    }
    // Selections that come with no close-up reopen nothing.
    log.clear();
    Get<QComboBox>(kIdcPort)->setCurrentIndex(3);
    Get<QComboBox>(kIdcSpeed)->setCurrentIndex(1);
    Settle("");
    EXPECT_EQ(log, "");
}

// --- sends -----------------------------------------------------------------------------------

TEST_F(DialogTest, SendWritesTheWholeFrameAndShowsItAndTheReplyAndClearDisplayEmptiesThem) {
    const std::string two = kFrame + kFrame;
    const struct {
        std::vector<std::string> moduleOptions;
        const char* lcdType;  // typed into the LCDs Type box
        int sends;
        std::string sendLog, recvLog;
        int command = 0;
        const char* data = nullptr;  // typed with Lengh "typed", X 10 and Y 20 when set
        const char* fields = "4|0|0|0|2e";
    } cases[] = {
        {{}, "Uart LCDs", 1, kFrame, kFrame},
        {{}, "Uart LCDs", 2, two, two},  // no line break between sends
        {{}, "SPI LCDs", 2, "80 00 80 00 ", two},
        {{}, "i2c lcds", 1, "80 00 ", kFrame},
        {{}, "Spi", 1, kFrame, kFrame},  // a typed text that names no entry is Uart
        // The sixth byte is still queued at the next send: it is thrown away before the write,
        // not shown as the first byte of the next reply.
        {{"--reply-length", "6"}, "Uart LCDs", 2, two, two},
        {{"--reply-length", "4"}, "Uart LCDs", 1, kFrame, ""},
        {{"--silent"}, "Uart LCDs", 1, kFrame, ""},
        {{},
         "Uart LCDs",
         1,
         "AA 0B 8B 00 0A 00 14 00 30 00 40 CE ",
         "AA 04 8B 00 39 ",
         11,
         "00 30 00 40",
         "b|10|20|00 30 00 40|ce"},
        // A character outside Latin-1 becomes '?', a non-digit like any other; the field then
        // shows the text as it was read.
        {{},
         "Uart LCDs",
         1,
         "AA 05 81 F1 F2 13 ",
         "AA 04 81 00 2F ",
         1,
         "\u4e2d1 \u00e92",
         "5|10|20|?1 \u00e92|13"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.lcdType) + " " + std::to_string(&c - cases));
        Start(Ports(0, c.moduleOptions));
        Get<QComboBox>(kIdcLcdType)->setEditText(c.lcdType);
        if (c.data != nullptr) {
            Get<QComboBox>(kIdcCommand)->setCurrentIndex(c.command);
            Get<QLineEdit>(kIdcLengh)->setText("typed");
            Get<QLineEdit>(kIdcXaddress)->setText("10");
            Get<QLineEdit>(kIdcYaddress)->setText("20");
            Get<QLineEdit>(kIdcData)->setText(QString::fromUtf8(c.data));
        }
        std::string onTheWire;
        for (int i = 0; i < c.sends; ++i, onTheWire += kFrameSeen) {
            Click(kIdcSendData);
        }
        EXPECT_EQ(log, Opened(module->Link()));  // a send reports nothing
        EXPECT_EQ(Text(kIdcSendLog) + "|" + Text(kIdcRecvLog), c.sendLog + "|" + c.recvLog);
        EXPECT_EQ(dialog->SendLog() + "|" + dialog->RecvLog(), c.sendLog + "|" + c.recvLog);
        EXPECT_EQ(Fields(), c.fields);
        // Whatever the transcript shows, the module read every whole frame and nothing else.
        EXPECT_TRUE(c.data || module->Printed(onTheWire)) << module->out();
        Click(kIdcClearDisplay);
        EXPECT_EQ(Text(kIdcSendLog) + Text(kIdcRecvLog) + dialog->SendLog() + dialog->RecvLog(),
                  "");
    }
}

// --- command change, system commands ------------------------------------------

TEST_F(DialogTest, OnlyTheOperatorsCommandChoiceLoadsAPresetAndItReplacesTypedTexts) {
    const std::string drawLine =
        "[DrawLine]\nLENGH=b\nXADDRESS=1\nYADDRESS=2\nTRANSPRENT=1\n"
        "FONTTYPE=3\nDATA=00 10 00 20\nCHECKSUM=5a\n";
    scratch.Write("Scom.ini", drawLine + "[ClearScreen]\nXADDRESS=7\n");
    Start(Ports(), false);
    // The selections the start-up makes load no preset: the one read at construction stays.
    scratch.Write("Scom.ini", drawLine);
    ASSERT_TRUE(dialog->OnInitDialog());
    dialog->show();
    EXPECT_EQ(Text(kIdcXaddress), "7");
    Get<QLineEdit>(kIdcXaddress)->setText("99");
    Get<QLineEdit>(kIdcData)->setText("AB CD");
    Get<QComboBox>(kIdcFontSize)->setCurrentIndex(2);
    Choose(kIdcCommand, 11);  // Draw Line
    EXPECT_EQ(Fields(), "b|1|2|00 10 00 20|5a");
    // The section's TRANSPRENT and FONTTYPE are read but select nothing.
    EXPECT_EQ(dialog->Transparent() + dialog->FontType(), "13");
    EXPECT_EQ(Get<QComboBox>(kIdcTransparent)->currentIndex(), 0);
    EXPECT_EQ(Get<QComboBox>(kIdcFontSize)->currentIndex(), 2);
    // Back to Clear Screen, which now has no section: its fallbacks, not the texts typed before.
    Get<QLineEdit>(kIdcData)->setText("77");
    Choose(kIdcCommand, 0);
    EXPECT_EQ(Fields(), "4|0|0|0|0");
}

TEST_F(DialogTest, TheAboutItemAndRangeAndTheBackgroundMenuShowTheAboutBox) {
    Start(Ports());
    for (unsigned id : {0x10u, 0x1Fu, 0x20u, 0xF010u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(EscapeFromModal([&] { dialog->OnSystemCommand(static_cast<std::uint16_t>(id)); }),
                  id <= 0x1F ? "glassbench::ui::CAboutDlg" : "");
    }
    // Where no system menu can take the item, a popup from a right click on the background does.
    const QPoint corner(dialog->width() - 3, dialog->height() - 3);
    QContextMenuEvent request(QContextMenuEvent::Mouse, corner, dialog->mapToGlobal(corner));
    QApplication::sendEvent(dialog.get(), &request);
    QMenu* menu = dialog->SystemMenuOf()->PopupMenu();
    ASSERT_EQ(QApplication::activePopupWidget(), menu);
    menu->hide();
    EXPECT_EQ(EscapeFromModal([&] { menu->actions().back()->trigger(); }),
              "glassbench::ui::CAboutDlg");
    dialog->OnSystemCommand(kScClose);
    EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
}  // namespace glassbench::ui::testing
