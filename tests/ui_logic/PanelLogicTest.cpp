// The operator dialog's logic as the operator drives it: start-up, the port close-ups, a
// command choice, Clear Display, sends and the system menu, with every effect in one log; and
// the window's own options, with the presets folder --in-documents enters.
#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FakeSerial.h"
#include "PanelRecorder.h"
#include "TempDir.h"
#include "ui/PanelConsoleDlg.h"
#include "ui/WindowOptions.h"

namespace glassbench::ui::testing {
namespace {

using serial::testing::Bytes;
using serial::testing::FakeSystem;
using namespace std::chrono_literals;

const std::string kClear = "AA 04 80 00 2E ";  // Clear Screen, and the module's good reply to it
const Bytes kClearBytes{0xAA, 0x04, 0x80, 0x00, 0x2E};

class PanelLogicTest : public ::testing::Test {
  protected:
    // Each test runs in its own folder, where it may put a preset file.
    PanelLogicTest() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(scratch_.path());
    }
    ~PanelLogicTest() override { std::filesystem::current_path(previous_); }

    // A new dialog over a fresh serial fake in which only the `openable` positions open;
    // initialised as the application does unless `init` is false.
    void Start(std::vector<int> openable, bool init = true) {
        dialog_.reset();
        link_.reset();
        auto system = std::make_unique<FakeSystem>();
        world_ = system.get();
        world_->logSetup = false;
        world_->logIo = true;
        for (int i = 0; i < serial::kPortCount; ++i) {
            const bool opens = std::count(openable.begin(), openable.end(), i) != 0;
            Port(i).openError = opens ? std::errc{} : std::errc::no_such_file_or_directory;
        }
        toolkit_ = std::make_unique<RecordingToolkit>(world_->log);
        view_ = std::make_unique<RecordingView>(world_->log, names_);
        toolkit_->SetDialog(view_->Owner());
        link_ = std::make_unique<serial::SerialLink>(std::move(system), names_, toolkit_.get());
        dialog_ = std::make_unique<CPanelConsoleDlg>(*view_, *link_, *toolkit_);
        if (init) {
            dialog_->DoModal();
        }
        world_->log.clear();
    }
    serial::testing::FakePort& Port(int index) {
        return world_->ports[names_[static_cast<std::size_t>(index)]];
    }
    std::string Name(int index) const { return names_[static_cast<std::size_t>(index)]; }
    Log OpenedAt(int index, const std::string& speed = "9600") const {
        return Opened(Name(index), speed);
    }
    static Log Error(const std::string& text) {
        return {"message Error/exclamation/dialog: " + text};
    }
    static Log Join(std::initializer_list<Log> parts) {
        Log all;
        for (const Log& part : parts) {
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }

    glassbench::testing::TempDir scratch_;
    const serial::PortNames names_ = serial::DefaultPortNames();
    serial::testing::FakeWorld* world_ = nullptr;
    std::unique_ptr<RecordingToolkit> toolkit_;
    std::unique_ptr<RecordingView> view_;
    std::unique_ptr<serial::SerialLink> link_;
    std::unique_ptr<CPanelConsoleDlg> dialog_;

  private:
    std::filesystem::path previous_;
};

TEST_F(PanelLogicTest, StartUpSearchesThePortsInOrderAndTakesThePresetStartValues) {
    // TRANSPRENT and FONTTYPE are read as C's atoi reads them (ReadLeadingInt, whose own table
    // has the forms); too large selects the first entry, negative nothing.
    const FieldTexts none{"4", "0", "0", "0", "0"}, preset{"9", "12", "34", "01 02", "ff"};
    const struct {
        const char* ini;  // nullptr: no preset file
        std::vector<int> openable;
        FieldTexts fields;
        int transparent, fontSize, port;  // the positions selected
    } cases[] = {
        {nullptr, {}, none, 0, 0, -1},
        {nullptr, {1, 2}, none, 0, 0, 1},
        {nullptr, {9}, none, 0, 0, 9},
        {"[ClearScreen]\nLENGH=9\nXADDRESS=12\nYADDRESS=34\nDATA=01 02\nCHECKSUM=ff",
         {},
         preset,
         0,
         0,
         -1},
        {"[ClearScreen]\nTRANSPRENT=1\n", {}, none, 1, 0, -1},
        {"[ClearScreen]\nTRANSPRENT=2\n", {}, none, 0, 0, -1},
        {"[ClearScreen]\nTRANSPRENT=-1\n", {}, none, -1, 0, -1},
        {"[ClearScreen]\nTRANSPRENT=abc\n", {}, none, 0, 0, -1},
        {"[ClearScreen]\nFONTTYPE=5\n", {}, none, 0, 5, -1},
        {"[ClearScreen]\nFONTTYPE=6\n", {}, none, 0, 0, -1},
        {"[ClearScreen]\nFONTTYPE=-2\n", {}, none, 0, -1, -1},
        {"[DrawLine]\nTRANSPRENT=1\nFONTTYPE=3\nDATA=77\n", {}, none, 0, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini ? c.ini : "no file");
        std::filesystem::remove(scratch_.path() / "Scom.ini");
        if (c.ini != nullptr) {
            scratch_.Write("Scom.ini", c.ini);
        }
        Start(c.openable, false);
        dialog_->DoModal();
        // Every position is tried in order up to the first that opens, then one message
        // before the window is shown; the lines are set only after an open.
        Log expected;
        const int first = c.openable.empty() ? serial::kPortCount : c.openable.front();
        for (int i = 0; i < first; ++i) {
            expected.push_back("open " + Name(i));
        }
        const Log opened = c.openable.empty() ? Log{} : OpenedAt(first);
        expected =
            Join({{"icons and fonts"},
                  expected,
                  c.openable.empty() ? Error("Could not open any of the serial ports.") : opened,
                  {"shown"}});
        EXPECT_EQ(world_->log, expected);
        EXPECT_EQ(view_->Fields(), c.fields);
        EXPECT_EQ(view_->selection[kIdcTransparent], c.transparent);
        EXPECT_EQ(view_->selection[kIdcFontSize], c.fontSize);
        EXPECT_EQ(view_->selection[kIdcPort], c.port);
        EXPECT_EQ(view_->selection[kIdcSpeed], 3);  // 9600 Baud
        EXPECT_EQ(view_->selection[kIdcCommand], 0);
        EXPECT_EQ(view_->selection[kIdcLcdType], 0);
        EXPECT_TRUE(view_->IsChecked(kIdcDtr) && view_->IsChecked(kIdcRts));
        EXPECT_EQ(view_->focus, kIdcData);
        EXPECT_EQ(view_->systemMenu, (std::vector<std::string>{"-", "16 &About Glassbench..."}));
    }
}

TEST_F(PanelLogicTest, EachCloseUpReopensThePortAndAFailedReopenClearsThePort) {
    Start({0, 3});
    const struct {
        int port, speed;  // the selections the close-up finds
        Log expected;
        int portAfter;
    } steps[] = {
        {0, 3, Join({{"close " + Name(0)}, OpenedAt(0)}), 0},
        {0, 4, Join({{"close " + Name(0)}, OpenedAt(0, "19200")}), 0},
        {5, 4,
         Join({{"close " + Name(0), "open " + Name(5)},
               Error("Could not open port " + Name(5) + ".")}),
         -1},
        // With no port selected nothing is opened; the message names no device.
        {-1, 4, Error("Could not open port (none)."), -1},
        {3, 6, Join({OpenedAt(3, "115200")}), 3},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        world_->log.clear();
        view_->selection[kIdcPort] = step.port;
        view_->selection[kIdcSpeed] = step.speed;
        dialog_->OnPortOrSpeedCloseUp();
        EXPECT_EQ(world_->log, step.expected);
        EXPECT_EQ(view_->selection[kIdcPort], step.portAfter);
        // A failed reopen releases the port that was open before.
        EXPECT_EQ(std::ranges::count_if(world_->ports, [](const auto& p) { return p.second.held; }),
                  step.portAfter >= 0 ? 1 : 0);
        EXPECT_EQ(view_->selection[kIdcSpeed], step.speed);
    }
    EXPECT_EQ(Port(3).written->bitsPerSecond, 115200);
}

TEST_F(PanelLogicTest, ACommandChoiceLoadsItsPresetOverTypedTextsAndNothingElse) {
    scratch_.Write("Scom.ini",
                   "[DrawLine]\nLENGH=b\nXADDRESS=1\nYADDRESS=2\nTRANSPRENT=1\nFONTTYPE=3\n"
                   "DATA=00 10 00 20\nCHECKSUM=5a\n[ClearScreen]\nXADDRESS=7\n");
    Start({});
    const FieldTexts clearScreen{"4", "7", "0", "0", "0"};
    EXPECT_EQ(view_->Fields(), clearScreen);
    view_->fields[kIdcXaddress] = "99";
    view_->fields[kIdcData] = "AB CD";
    view_->selection[kIdcFontSize] = 2;
    view_->AppendTranscript(kIdcSendLog, kClear);
    const struct {
        int command;
        FieldTexts fields;
    } choices[] = {
        {11, {"b", "1", "2", "00 10 00 20", "5a"}},  // Draw Line reads DrawLine, not "Draw Line"
        {18, {"4", "0", "0", "0", "0"}},             // DrawEditAscii: no such section
        {0, clearScreen},
    };
    for (const auto& choice : choices) {
        view_->fields[kIdcData] = "77";
        view_->selection[kIdcCommand] = choice.command;
        dialog_->OnCommandSelected();
        EXPECT_EQ(view_->Fields(), choice.fields) << choice.command;
    }
    // TRANSPRENT and FONTTYPE of a section select nothing; nothing else changes.
    view_->selection[kIdcCommand] = 11;
    dialog_->OnCommandSelected();
    EXPECT_EQ(view_->selection[kIdcTransparent], 0);
    EXPECT_EQ(view_->selection[kIdcFontSize], 2);
    EXPECT_EQ(view_->Transcript(kIdcSendLog), kClear);
    EXPECT_EQ(world_->log, Log{});
}

TEST_F(PanelLogicTest, SendWritesTheWholeFrameShowsItAndTheReplyAndClearDisplayEmptiesThem) {
    const std::string two = kClear + kClear;
    const Log exchange{"busy on", "discard", "write AA 04 80 00 2E", "busy off"};
    const struct {
        const char* name;
        std::vector<Bytes> answers;
        const char* lcdType;  // typed into the LCDs Type box
        int sends;
        std::string sendLog, recvLog;
    } cases[] = {
        {"uart", {kClearBytes}, "Uart LCDs", 1, kClear, kClear},
        {"no line break", {kClearBytes, kClearBytes}, "Uart LCDs", 2, two, two},
        {"spi", {kClearBytes, kClearBytes}, "SPI LCDs", 2, "80 00 80 00 ", two},
        {"i2c", {kClearBytes}, "i2c lcds", 1, "80 00 ", kClear},
        {"usb", {kClearBytes}, "USB LCDs", 1, kClear, kClear},
        {"a typed text naming no entry is Uart", {kClearBytes}, "Spi", 1, kClear, kClear},
        // The sixth byte is still queued at the next send: it is thrown away before the write,
        // never shown as the first byte of the next reply.
        {"six bytes", {{0xAA, 4, 0x80, 0, 0x2E, 0x99}, kClearBytes}, "Uart LCDs", 2, two, two},
        {"four bytes", {{0xAA, 4, 0x80, 0}}, "Uart LCDs", 1, kClear, ""},
        {"silent", {}, "Uart LCDs", 1, kClear, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Start({0});
        Port(0).answers = c.answers;
        view_->Type(kIdcLcdType, c.lcdType);
        Log expected;
        for (int i = 0; i < c.sends; ++i) {
            dialog_->OnSendData();
            expected = Join({expected, exchange});
        }
        EXPECT_EQ(world_->log, expected);  // a send reports nothing
        EXPECT_EQ(view_->Transcript(kIdcSendLog), c.sendLog);
        EXPECT_EQ(view_->Transcript(kIdcRecvLog), c.recvLog);
        EXPECT_EQ(view_->Fields(), (FieldTexts{"4", "0", "0", "0", "2e"}));
        dialog_->OnClearDisplay();
        EXPECT_EQ(view_->Transcript(kIdcSendLog) + view_->Transcript(kIdcRecvLog), "");
    }
}

// A port lost (its device gone) is given back at once; the next send opens it again, the
// pulse and all, and sends, or fails as a send to a pulled adapter does.
TEST_F(PanelLogicTest, SendBuildsFromTheFieldsAndAFrameThatDidNotGoOutIsNotShownAsSent) {
    const std::string device = serial::DefaultPortNames()[0];
    const std::string write = "write AA 0B 8B 00 0A 00 14 00 30 00 40 CE";
    const Log reopened{"open " + device, "modem 11", "busy on", "modem 00",
                       "pause 1000",     "modem 11", "busy off"};
    enum class Before { Nothing, Lost, LostAndBack };
    const struct {
        const char* name;
        std::vector<int> openable;
        bool gone;      // the device vanishes in this send
        Before before;  // what an earlier send left
        Log expected;   // after the build
        std::string sendLog;
    } cases[] = {
        {"sent",
         {0},
         false,
         Before::Nothing,
         {"busy on", "discard", write, "busy off"},
         "AA 0B 8B 00 0A 00 14 00 30 00 40 CE "},
        {"no port is open",
         {},
         false,
         Before::Nothing,
         Join({{"busy on", "busy off"}, Error("Could not send: no port is open.")}),
         ""},
        {"the device has gone",
         {0},
         true,
         Before::Nothing,
         Join({{"busy on", "discard", "close " + device, "busy off"},
               Error("Could not send to port " + device + ".")}),
         ""},
        {"lost, and back",
         {0},
         false,
         Before::LostAndBack,
         Join({reopened, {"busy on", "discard", write, "busy off"}}),
         "AA 0B 8B 00 0A 00 14 00 30 00 40 CE "},
        {"lost, and not back",
         {0},
         false,
         Before::Lost,
         Join({{"open " + device, "busy on", "busy off"},
               Error("Could not send to port " + device + ".")}),
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Start(c.openable);
        if (c.before != Before::Nothing) {
            Port(0).goneAt = world_->now;
            dialog_->OnSendData();
            Port(0).goneAt.reset();
            if (c.before == Before::Lost) {
                Port(0).openError = std::errc::no_such_file_or_directory;
            }
            view_->ClearTranscript(kIdcSendLog);
            world_->log.clear();
        }
        if (c.gone) {
            Port(0).goneAt = world_->now;
        }
        view_->selection[kIdcCommand] = 11;  // Draw Line
        view_->fields = {{kIdcLengh, "typed"},
                         {kIdcCheckSum, ""},
                         {kIdcXaddress, "10"},
                         {kIdcYaddress, "20"},
                         {kIdcData, "00 30 00 40"}};
        dialog_->OnSendData();
        EXPECT_EQ(world_->log, c.expected);
        EXPECT_EQ(view_->Transcript(kIdcSendLog), c.sendLog);
        EXPECT_EQ(view_->Transcript(kIdcRecvLog), "");
        // Lengh and CheckSum show the frame that was built, sent or not; typed texts stay.
        EXPECT_EQ(view_->Fields(), (FieldTexts{"b", "10", "20", "00 30 00 40", "ce"}));
    }
}

// The Port list's tooltip names the selected entry's port in full and, for a USB adapter, what
// it is, as the system tells it at the moment the tip shows: an adapter plugged in meanwhile
// is there.
TEST_F(PanelLogicTest, PortToolTipNamesThePortAndWhatItIsNow) {
    Start({1});
    EXPECT_EQ(dialog_->PortToolTip(), Name(1));
    serial::PresentPort adapter;
    adapter.device = Name(1);
    adapter.usb =
        serial::UsbIdentity{0x0403, 0x6001, "A10K1ABC", "FTDI", "FT232R USB UART", 0, "1-1.2"};
    world_->present = {adapter};
    EXPECT_EQ(dialog_->PortToolTip(), Name(1) + "\nFT232R USB UART, serial number A10K1ABC");
    view_->Select(kIdcPort, -1);
    EXPECT_EQ(dialog_->PortToolTip(), "");
    EXPECT_EQ(world_->log, Log{});  // nothing opened or shown for it
}

TEST_F(PanelLogicTest, TheAboutItemAndTheFifteenIdsAfterItShowTheAboutBox) {
    Start({});
    for (const unsigned id : {0x10u, 0x1Fu, 0x20u, 0xF060u, 0xF010u}) {
        world_->log.clear();
        dialog_->OnSystemCommand(static_cast<std::uint16_t>(id));
        EXPECT_EQ(world_->log,
                  Log{id <= 0x1F ? "about box" : "default command " + std::to_string(id)});
    }
}

// --help and --version are checked on the built programs (the man pages, the packages).
// The ports named on the command line are what is left once the options are taken.
TEST(WindowOptionsTest, InDocumentsIsKeptBesideTheToolkitsOptionsAndThePortNames) {
    char program[] = "glassbench", platform[] = "-platform", in[] = "--in-documents",
         lab[] = "rfc2217://lab-7:4001", adapter[] = "/dev/ttyUSB3";
    char* argv[] = {program, platform, in, lab, adapter};
    std::ostringstream out;
    const WindowOptions options = ReadWindowOptions(5, argv, out);
    EXPECT_TRUE(options.inDocuments && !options.exitCode && out.str().empty()) << out.str();
    EXPECT_EQ(WindowPortNames(5, argv), (std::vector<std::string>{lab, adapter}));
}

// The presets folder is made once, then entered with what the user put in it; nothing is
// made, and the current directory stays, without a documents folder or with a file in the way.
TEST_F(PanelLogicTest, PresetsFolderIsMadeOnceThenEnteredAndFailuresStayPut) {
    namespace fs = std::filesystem;
    const fs::path here = fs::current_path(), documents = here / "Documents";
    fs::create_directories(documents);
    for (const bool second : {false, true}) {
        fs::current_path(here);
        ASSERT_TRUE(EnterPresetsFolder(documents));
        EXPECT_TRUE(fs::equivalent(fs::current_path(), documents / kPresetsFolderName));
        EXPECT_EQ(fs::exists("Scom.ini"), second);
        std::ofstream("Scom.ini") << "[DrawPoint]\n";
    }
    fs::create_directory(here / "blocked");
    std::ofstream(here / "blocked" / kPresetsFolderName) << "a file";
    for (const fs::path& failing : {fs::path(), here / "missing", here / "blocked"}) {
        fs::current_path(here);
        EXPECT_FALSE(EnterPresetsFolder(failing)) << failing;
        EXPECT_EQ(fs::current_path(), here) << failing;
    }
    EXPECT_FALSE(fs::exists(here / "missing"));
}

}  // namespace
}  // namespace glassbench::ui::testing
