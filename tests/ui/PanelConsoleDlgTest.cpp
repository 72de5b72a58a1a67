#include <gtest/gtest.h>

#include <ostream>

#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <optional>

#include "DialogFixture.h"
#include "protocol/CommandFrame.h"
#include "protocol/HexText.h"
#include "ui/AboutDlg.h"
#include "ui/DialogPlatform.h"

namespace glassbench::ui::testing {
namespace {

// --- start-up -------------------------------------------------------------------------------

class StartupTest : public DialogFixture {};

TEST_F(StartupTest, NoOpenablePortTriesAllThirtyThenReportsOnce) {
    const serial::PortNames names = MissingPorts();
    Start(names);

    Log expected;
    for (const std::string& name : names) {
        expected.push_back(OpenLine(name));
    }
    expected.push_back(
        MessageLine("Error", "exclamation", "dialog", "Could not open any of the serial ports."));
    EXPECT_EQ(log, expected);
    EXPECT_EQ(List(kIdcPort)->currentIndex(), -1);
    EXPECT_EQ(ListText(kIdcCommand), "Clear Screen");
    EXPECT_EQ(ListText(kIdcLcdType), "Uart LCDs");
    EXPECT_EQ(ListText(kIdcSpeed), "9600 Baud");
    EXPECT_EQ(QApplication::focusWidget(), dialog->Control(kIdcData));
}

TEST_F(StartupTest, OnlyTheSecondPositionOpensThroughTheEnvironment) {
    Pty pty;
    const std::string missing = (scratch.path() / "missing0").string();
    const ScopedEnv ports("GLASSBENCH_PORTS", missing + ":" + pty.SlavePath());
    Start(serial::PortNameTable());

    EXPECT_EQ(log, Concat({{OpenLine(missing)},
                           OpenedLines(pty.SlavePath()),
                           PulseAndConfirmLines(pty.SlavePath(), "9600")}));
    EXPECT_EQ(List(kIdcPort)->currentIndex(), 1);
    EXPECT_EQ(ListText(kIdcPort), pty.SlavePath());
    EXPECT_TRUE(link->IsReady());
}

TEST_F(StartupTest, SelectsDefaultsAndChecksTheHiddenLineBoxes) {
    Start(MissingPorts());
    EXPECT_TRUE(static_cast<QCheckBox*>(dialog->Control(kIdcDtr))->isChecked());
    EXPECT_TRUE(static_cast<QCheckBox*>(dialog->Control(kIdcRts))->isChecked());
    EXPECT_FALSE(dialog->Control(kIdcDtr)->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Glassbench +");
    EXPECT_FALSE(dialog->windowIcon().isNull());
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    // The Data Send transcript is in the fixed-pitch font, the Data Rec one in the dialog's.
    const QFontMetrics fixed(Transcript(kIdcSendLog)->font());
    EXPECT_EQ(fixed.horizontalAdvance('i'), fixed.horizontalAdvance('W'));
    const QFontMetrics proportional(Transcript(kIdcRecvLog)->font());
    EXPECT_NE(proportional.horizontalAdvance('i'), proportional.horizontalAdvance('W'));
    EXPECT_EQ(Transcript(kIdcRecvLog)->font(), dialog->font());
}

TEST_F(StartupTest, ConstructionAloneLoadsTheClearScreenPresetButShowsNothing) {
    Create(MissingPorts());
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(FieldText(kIdcLengh), "");
    EXPECT_TRUE(dialog->IniPath().ends_with("Scom.ini"));
    dialog->ShowFields();
    EXPECT_EQ(FieldText(kIdcLengh), "4");
}

TEST_F(StartupTest, SelectionsTheProgramMakesLoadNoPreset) {
    glassbench::testing::TempDir folder;
    folder.Write("Scom.ini", "[ClearScreen]\nXADDRESS=1\n");
    const CurrentDirectory here(folder.path());
    Create(MissingPorts());
    // The file changes after construction: only an operator's choice may read it again.
    folder.Write("Scom.ini", "[ClearScreen]\nXADDRESS=2\n");
    ASSERT_TRUE(dialog->OnInitDialog());
    EXPECT_EQ(ListText(kIdcCommand), "Clear Screen");
    EXPECT_EQ(FieldText(kIdcXaddress), "1");
    // The operator choosing the same command again does read it.
    dialog->show();
    ChooseFromList(kIdcCommand, 0);
    EXPECT_EQ(FieldText(kIdcXaddress), "2");
}

// --- presets at start-up --------------------------------------------------------------------

struct PresetCase {
    const char* name;
    std::optional<std::string> ini;  // no file at all when empty
    int transparent;
    int fontSize;
    const char* lengh;
    const char* x;
    const char* y;
    const char* data;
    const char* checkSum;
};

// Test lists show the case's name, not its bytes.
void PrintTo(const PresetCase& c, std::ostream* out) {
    *out << c.name;
}

class StartupPresetTest : public DialogFixture, public ::testing::WithParamInterface<PresetCase> {};

TEST_P(StartupPresetTest, FieldsAndSelectionsComeFromTheClearScreenSection) {
    const PresetCase& c = GetParam();
    glassbench::testing::TempDir folder;
    if (c.ini) {
        folder.Write("Scom.ini", *c.ini);
    }
    const CurrentDirectory here(folder.path());
    Start(MissingPorts());
    EXPECT_EQ(List(kIdcTransparent)->currentIndex(), c.transparent);
    EXPECT_EQ(List(kIdcFontSize)->currentIndex(), c.fontSize);
    EXPECT_EQ(FieldText(kIdcLengh), c.lengh);
    EXPECT_EQ(FieldText(kIdcXaddress), c.x);
    EXPECT_EQ(FieldText(kIdcYaddress), c.y);
    EXPECT_EQ(FieldText(kIdcData), c.data);
    EXPECT_EQ(FieldText(kIdcCheckSum), c.checkSum);
}

std::string ClearScreen(const std::string& keys) {
    return "[ClearScreen]\n" + keys;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StartupPresetTest,
    ::testing::Values(
        PresetCase{"NoFile", std::nullopt, 0, 0, "4", "0", "0", "0", "0"},
        PresetCase{"Values",
                   ClearScreen("LENGH=9\nXADDRESS=12\nYADDRESS=34\nDATA=01 02\n"
                               "CHECKSUM=ff\n"),
                   0, 0, "9", "12", "34", "01 02", "ff"},
        PresetCase{"TransparentOne", ClearScreen("TRANSPRENT=1\n"), 1, 0, "4", "0", "0", "0", "0"},
        PresetCase{"TransparentTwo", ClearScreen("TRANSPRENT=2\n"), 0, 0, "4", "0", "0", "0", "0"},
        PresetCase{"TransparentSeven", ClearScreen("TRANSPRENT=7\n"), 0, 0, "4", "0", "0", "0",
                   "0"},
        PresetCase{"TransparentNegative", ClearScreen("TRANSPRENT=-1\n"), -1, 0, "4", "0", "0", "0",
                   "0"},
        PresetCase{"TransparentNotANumber", ClearScreen("TRANSPRENT=abc\n"), 0, 0, "4", "0", "0",
                   "0", "0"},
        PresetCase{"TransparentLeadingBlanksAndSign", ClearScreen("TRANSPRENT=  +1x\n"), 1, 0, "4",
                   "0", "0", "0", "0"},
        PresetCase{"FontTypeFive", ClearScreen("FONTTYPE=5\n"), 0, 5, "4", "0", "0", "0", "0"},
        PresetCase{"FontTypeSix", ClearScreen("FONTTYPE=6\n"), 0, 0, "4", "0", "0", "0", "0"},
        PresetCase{"FontTypeThree", ClearScreen("FONTTYPE=3\n"), 0, 3, "4", "0", "0", "0", "0"},
        PresetCase{"FontTypeNegative", ClearScreen("FONTTYPE=-2\n"), 0, -1, "4", "0", "0", "0",
                   "0"},
        PresetCase{"OtherSectionOnly", "[DrawLine]\nTRANSPRENT=1\nFONTTYPE=3\nDATA=77\n", 0, 0, "4",
                   "0", "0", "0", "0"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the keyboard filter --------------------------------------------------------------------

class KeyboardTest : public DialogFixture {
  protected:
    void SetUp() override {
        Start(MissingPorts());
        log.clear();
        Field(kIdcXaddress)->setText("12");
        Field(kIdcXaddress)->setFocus();
        ASSERT_TRUE(
            ProcessEventsUntil([&] { return QApplication::focusWidget() == Field(kIdcXaddress); }));
    }
};

struct SwallowedKey {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

// Test lists show the case's name, not its bytes.
void PrintTo(const SwallowedKey& c, std::ostream* out) {
    *out << c.name;
}

class SwallowedKeyTest : public KeyboardTest, public ::testing::WithParamInterface<SwallowedKey> {};

TEST_P(SwallowedKeyTest, ChangesNothingAndMovesTheFocusToData) {
    const SwallowedKey& c = GetParam();
    Field(kIdcXaddress)->setCursorPosition(1);
    QTest::keyClick(Field(kIdcXaddress), c.key, c.modifiers);
    ProcessEventsUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_EQ(FieldText(kIdcXaddress), "12");
    EXPECT_EQ(Field(kIdcXaddress)->cursorPosition(), 1);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), dialog->Control(kIdcData));
    // Enter pressed no button: nothing was sent.
    EXPECT_EQ(dialog->SendLog(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SwallowedKeyTest,
    ::testing::Values(SwallowedKey{"Escape", Qt::Key_Escape, Qt::NoModifier},
                      SwallowedKey{"Return", Qt::Key_Return, Qt::NoModifier},
                      SwallowedKey{"Enter", Qt::Key_Enter, Qt::KeypadModifier},
                      SwallowedKey{"Backspace", Qt::Key_Backspace, Qt::NoModifier},
                      SwallowedKey{"Tab", Qt::Key_Tab, Qt::NoModifier},
                      SwallowedKey{"ShiftTab", Qt::Key_Backtab, Qt::ShiftModifier},
                      SwallowedKey{"Left", Qt::Key_Left, Qt::NoModifier},
                      SwallowedKey{"Right", Qt::Key_Right, Qt::NoModifier},
                      SwallowedKey{"CtrlX", Qt::Key_X, Qt::ControlModifier},
                      SwallowedKey{"CtrlA", Qt::Key_A, Qt::ControlModifier}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyboardTest, DeleteAndPrintableCharactersWork) {
    Field(kIdcXaddress)->setCursorPosition(0);
    QTest::keyClick(Field(kIdcXaddress), Qt::Key_Delete);
    EXPECT_EQ(FieldText(kIdcXaddress), "2");
    QTest::keyClicks(Field(kIdcXaddress), "7");
    EXPECT_EQ(FieldText(kIdcXaddress), "72");
    EXPECT_EQ(QApplication::focusWidget(), Field(kIdcXaddress));
}

TEST_F(KeyboardTest, CtrlVDoesNotPaste) {
    QApplication::clipboard()->setText("99");
    QTest::keyClick(Field(kIdcXaddress), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(FieldText(kIdcXaddress), "12");
}

TEST_F(KeyboardTest, AShortcutCannotTakeASwallowedKey) {
    // Qt offers a key to the shortcut map before the key press; the dialog must refuse it.
    int fired = 0;
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), dialog.get());
    QObject::connect(shortcut, &QShortcut::activated, shortcut, [&] { ++fired; });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), dialog.get());
    QObject::connect(escape, &QShortcut::activated, escape, [&] { ++fired; });
    QTest::keyClick(Field(kIdcXaddress), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(Field(kIdcXaddress), Qt::Key_Escape);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), dialog->Control(kIdcData));
}

TEST_F(KeyboardTest, ArrowKeysDoNotChangeAListsSelection) {
    List(kIdcTransparent)->setFocus();
    ASSERT_TRUE(
        ProcessEventsUntil([&] { return QApplication::focusWidget() == List(kIdcTransparent); }));
    QTest::keyClick(List(kIdcTransparent), Qt::Key_Down);
    EXPECT_EQ(List(kIdcTransparent)->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), dialog->Control(kIdcData));
}

TEST_F(KeyboardTest, TheAboutBoxKeepsItsOwnEscape) {
    ModalResponder escape([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    dialog->OnSystemCommand(static_cast<std::uint16_t>(kIdmAboutBox));
    EXPECT_EQ(escape.Answered(), "glassbench::ui::CAboutDlg");
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(KeyboardTest, OnlyTheCloseBoxEndsTheWindow) {
    EXPECT_TRUE(dialog->close());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

// --- port and speed close-ups ----------------------------------------------------------------

class CloseUpTest : public DialogFixture {
  protected:
    void StartWithPtyAt(int position) {
        names = MissingPorts();
        names[static_cast<std::size_t>(position)] = pty.SlavePath();
        Start(names);
        ASSERT_EQ(List(kIdcPort)->currentIndex(), position);
        log.clear();
    }
    Pty pty;
    serial::PortNames names;
};

TEST_F(CloseUpTest, ClosingTheSpeedListUnchangedReopensWithThePulse) {
    StartWithPtyAt(0);
    DropDownAndClose(kIdcSpeed);
    ASSERT_TRUE(WaitForLog(8));
    EXPECT_EQ(
        log, Concat({OpenedLines(pty.SlavePath()), PulseAndConfirmLines(pty.SlavePath(), "9600")}));
    EXPECT_TRUE(link->IsReady());
}

TEST_F(CloseUpTest, ChoosingASpeedReopensAtThatSpeed) {
    StartWithPtyAt(2);
    ChooseFromList(kIdcSpeed, 4);
    ASSERT_TRUE(WaitForLog(8));
    EXPECT_EQ(log, Concat({OpenedLines(pty.SlavePath()),
                           PulseAndConfirmLines(pty.SlavePath(), "19200")}));
    EXPECT_EQ(ListText(kIdcSpeed), "19200 Baud");
}

TEST_F(CloseUpTest, AFailedReopenReportsTheDeviceAndClearsThePort) {
    StartWithPtyAt(0);
    ChooseFromList(kIdcPort, 5);
    ASSERT_TRUE(WaitForLog(2));
    ProcessEventsUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(log, (Log{OpenLine(names[5]), MessageLine("Error", "exclamation", "dialog",
                                                        "Could not open port " + names[5] + ".")}));
    EXPECT_EQ(List(kIdcPort)->currentIndex(), -1);
    EXPECT_EQ(ListText(kIdcSpeed), "9600 Baud");
    // The port that was open before is released.
    EXPECT_FALSE(link->HoldsDevice());

    // With no port selected a close-up still tries, and says so.
    log.clear();
    DropDownAndClose(kIdcSpeed);
    ASSERT_TRUE(WaitForLog(1));
    EXPECT_EQ(log,
              (Log{MessageLine("Error", "exclamation", "dialog", "Could not open port (none).")}));
    EXPECT_EQ(List(kIdcPort)->currentIndex(), -1);

    // Choosing an openable port again opens it normally.
    log.clear();
    ChooseFromList(kIdcPort, 0);
    ASSERT_TRUE(WaitForLog(8));
    EXPECT_EQ(
        log, Concat({OpenedLines(pty.SlavePath()), PulseAndConfirmLines(pty.SlavePath(), "9600")}));
    EXPECT_EQ(List(kIdcPort)->currentIndex(), 0);
}

TEST_F(CloseUpTest, ASelectionChangeWithoutACloseUpDoesNotReopen) {
    StartWithPtyAt(0);
    List(kIdcCommand)->setCurrentIndex(3);
    List(kIdcPort)->setCurrentIndex(3);
    ProcessEventsUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_TRUE(log.empty());
}

// --- command change, Clear Display, system menu -----------------------------------------------

class ActionTest : public DialogFixture {
  protected:
    void SetUp() override {
        folder.Write("Scom.ini",
                     "[ClearScreen]\nTRANSPRENT=0\nFONTTYPE=0\n"
                     "[DrawLine]\nLENGH=b\nXADDRESS=1\nYADDRESS=2\nTRANSPRENT=1\nFONTTYPE=3\n"
                     "DATA=00 10 00 20\nCHECKSUM=5a\n");
        here.emplace(folder.path());
        Start(MissingPorts());
        log.clear();
    }
    glassbench::testing::TempDir folder;
    std::optional<CurrentDirectory> here;
};

TEST_F(ActionTest, ACommandChoiceReplacesTypedTextsWithItsPreset) {
    Field(kIdcXaddress)->setText("99");
    Field(kIdcData)->setText("AB CD");
    List(kIdcFontSize)->setCurrentIndex(2);
    ChooseFromList(kIdcCommand, 11);  // Draw Line
    EXPECT_EQ(FieldText(kIdcLengh), "b");
    EXPECT_EQ(FieldText(kIdcXaddress), "1");
    EXPECT_EQ(FieldText(kIdcYaddress), "2");
    EXPECT_EQ(FieldText(kIdcData), "00 10 00 20");
    EXPECT_EQ(FieldText(kIdcCheckSum), "5a");
    // The section's TRANSPRENT and FONTTYPE are read but select nothing.
    EXPECT_EQ(dialog->Transparent(), "1");
    EXPECT_EQ(dialog->FontType(), "3");
    EXPECT_EQ(List(kIdcTransparent)->currentIndex(), 0);
    EXPECT_EQ(List(kIdcFontSize)->currentIndex(), 2);

    // Back to Clear Screen: its fallbacks, not the texts typed before.
    Field(kIdcData)->setText("77");
    ChooseFromList(kIdcCommand, 0);
    EXPECT_EQ(FieldText(kIdcData), "0");
    EXPECT_EQ(FieldText(kIdcLengh), "4");
    EXPECT_TRUE(log.empty());
}

TEST_F(ActionTest, ClearDisplayEmptiesBothTranscriptsAndTheNextSendStartsAfresh) {
    // No port is open: sends still log their frames.
    ClickSend();
    ClickSend();
    ASSERT_EQ(TranscriptText(kIdcSendLog), "AA 04 80 00 2E AA 04 80 00 2E ");
    QTest::mouseClick(dialog->Control(kIdcClearDisplay), Qt::LeftButton);
    EXPECT_EQ(TranscriptText(kIdcSendLog), "");
    EXPECT_EQ(TranscriptText(kIdcRecvLog), "");
    EXPECT_EQ(dialog->SendLog(), "");
    EXPECT_EQ(dialog->RecvLog(), "");
    ClickSend();
    EXPECT_EQ(TranscriptText(kIdcSendLog), "AA 04 80 00 2E ");
    // Clearing empty transcripts changes nothing.
    QTest::mouseClick(dialog->Control(kIdcClearDisplay), Qt::LeftButton);
    QTest::mouseClick(dialog->Control(kIdcClearDisplay), Qt::LeftButton);
    EXPECT_EQ(TranscriptText(kIdcSendLog), "");
}

TEST_F(ActionTest, FieldsAreReadAsLatinOne) {
    // A character outside Latin-1 is a non-digit, exactly as '?' is.
    List(kIdcCommand)->setCurrentIndex(1);  // Set Background Color: two data bytes
    Field(kIdcData)->setText(
        QString::fromUtf8("\xE4\xB8\xAD"
                          "1 \xC3\xA9"
                          "2"));
    ClickSend();
    protocol::CommandFields fields;
    fields.commandIndex = 1;
    fields.dataText =
        "?1 \xE9"
        "2";
    protocol::CommandFrame frame{};
    protocol::DataStore store{};
    const protocol::BuildResult expected = protocol::BuildCommandFrame(fields, frame, store);
    EXPECT_EQ(dialog->SendLog(), protocol::FormatHexBytes(frame.data(), expected.frameLength));
    EXPECT_EQ(FieldText(kIdcCheckSum), expected.checkSumText);
}

TEST_F(ActionTest, RightClickOnTheBackgroundOffersTheAboutItem) {
    QMenu* menu = dialog->SystemMenuOf()->PopupMenu();
    ASSERT_NE(menu, nullptr);
    // A separator, then the item.
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_TRUE(menu->actions()[0]->isSeparator());
    EXPECT_EQ(menu->actions()[1]->text(), "&About Glassbench...");

    // Empty space between the frames: the dialog's background.
    const QPoint background(dialog->width() - 3, dialog->height() - 3);
    ASSERT_EQ(dialog->childAt(background), nullptr);
    QContextMenuEvent request(QContextMenuEvent::Mouse, background,
                              dialog->mapToGlobal(background));
    QApplication::sendEvent(dialog.get(), &request);
    ASSERT_TRUE(ProcessEventsUntil([&] { return menu->isVisible(); }));

    ModalResponder ok([](QWidget* box) { static_cast<QDialog*>(box)->accept(); });
    menu->actions()[1]->trigger();
    EXPECT_EQ(ok.Answered(), "glassbench::ui::CAboutDlg");
    menu->hide();
}

TEST_F(ActionTest, AClickOnTheIconOffersTheAboutItem) {
    QMenu* menu = dialog->SystemMenuOf()->PopupMenu();
    QTest::mouseClick(dialog->Controls().IconLabel(), Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return menu->isVisible(); }));
    menu->hide();
}

TEST_F(ActionTest, TheTranscriptsKeepTheirOwnMenu) {
    QWidget* viewport = Transcript(kIdcRecvLog)->viewport();
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5),
                              viewport->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(viewport, &request);
    ASSERT_TRUE(ProcessEventsUntil([] { return QApplication::activePopupWidget() != nullptr; }));
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    EXPECT_NE(popup, dialog->SystemMenuOf()->PopupMenu());
    QStringList texts;
    for (QAction* action : popup->actions()) {
        if (!action->isSeparator()) {
            texts << action->text();
        }
    }
    EXPECT_EQ(texts, QStringList({"&Copy", "Select &All"}));
    popup->close();
}

struct SystemCommandCase {
    unsigned id;
    bool showsAbout;
};

void PrintTo(const SystemCommandCase& c, std::ostream* out) {
    *out << "0x" << std::hex << c.id;
}

class SystemCommandTest : public ActionTest,
                          public ::testing::WithParamInterface<SystemCommandCase> {};

TEST_P(SystemCommandTest, TheAboutRangeShowsTheAboutBox) {
    const SystemCommandCase& c = GetParam();
    ModalResponder ok([](QWidget* box) { static_cast<QDialog*>(box)->accept(); },
                      std::chrono::milliseconds(300));
    dialog->OnSystemCommand(static_cast<std::uint16_t>(c.id));
    ProcessEventsUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(ok.Answered(), c.showsAbout ? "glassbench::ui::CAboutDlg" : "");
    EXPECT_TRUE(dialog->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Ids, SystemCommandTest,
                         ::testing::Values(SystemCommandCase{0x10, true},
                                           SystemCommandCase{0x1F, true},
                                           SystemCommandCase{0x20, false},
                                           SystemCommandCase{0x0F, false},
                                           SystemCommandCase{0xF010, false}));

TEST_F(ActionTest, TheCloseCommandGoesToDefaultProcessingAndEndsTheWindow) {
    dialog->OnSystemCommand(kScClose);
    EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
}  // namespace glassbench::ui::testing
