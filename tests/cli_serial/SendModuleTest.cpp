// glassbench-cli send, ports and module end to end: the built programs talk over a real
// pseudo-terminal, and the link is driven in-process where a test needs frames the tool never
// builds. Every wait is a deadline on the programs' output or exit.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <regex>
#include <string>
#include <vector>

#include "Child.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "TestHex.h"
#include "protocol/CommandFrame.h"
#include "serial/SerialLink.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Escaped(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// The virtual module as its own process, on a link in the test's private folder.
class ModuleProcess {
  public:
    ModuleProcess(const TempDir& dir, const std::vector<std::string>& options)
        : link_((dir.path() / "module").string()), child_(GLASSBENCH_CLI, Args(link_, options)) {
        started_ = child_.WaitForOutput("module: " + link_ + " -> ", 10s);
    }
    ~ModuleProcess() {
        child_.Signal(SIGTERM);
        child_.Finish(10s);
    }

    bool started() const { return started_; }
    const std::string& link() const { return link_; }
    Child& child() { return child_; }
    const std::string& out() const { return child_.out(); }

    // Waits until the module has printed `count` frame lines in all.
    bool WaitForFrames(int count, std::chrono::milliseconds within = 10s) {
        return child_.WaitFor(
            [count](const std::string& out) { return Count(out, "-> status") >= count; }, within);
    }

  private:
    static std::vector<std::string> Args(const std::string& link,
                                         const std::vector<std::string>& options) {
        std::vector<std::string> args{"module", "--link", link};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }

    std::string link_;
    Child child_;
    bool started_ = false;
};

class SendModuleTest : public ::testing::Test {
  protected:
    void StartModule(const std::vector<std::string>& options = {}) {
        module_ = std::make_unique<ModuleProcess>(dir_, options);
        ASSERT_TRUE(module_->started()) << module_->out();
    }
    ProcessResult Send(std::vector<std::string> options) {
        std::vector<std::string> args{"send", "--port=" + module_->link()};
        args.insert(args.end(), options.begin(), options.end());
        return RunProcess(GLASSBENCH_CLI, args, {}, 30s);
    }
    ModuleProcess& module() { return *module_; }

    TempDir dir_;
    std::unique_ptr<ModuleProcess> module_;
};

// ---- exchanges -----------------------------------------------------------------------

TEST_F(SendModuleTest, DefaultFrameIsSentAndAnswered) {
    StartModule();
    const ProcessResult r = Send({"--no-pulse"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "sent: AA 04 80 00 2E\nreceived: AA 04 80 00 2E\n");
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(module().WaitForFrames(1));
    EXPECT_NE(module().out().find("Clear Screen data=[00] checksum=2E good -> status 0"),
              std::string::npos);
}

TEST_F(SendModuleTest, TranscriptFollowsTheLcdsTypeWhileTheWireCarriesTheFrame) {
    StartModule();
    const ProcessResult r = Send({"--no-pulse", "--command=Ascii String Display", "--x=10",
                                  "--y=20", "--font-size=1", "--data=48 49", "--lcd-type=1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "sent: 86 00 0A 00 14 2A 48 49\nreceived: AA 04 86 00 34\n");
    ASSERT_TRUE(module().WaitForFrames(1));
    EXPECT_NE(module().out().find("Ascii String Display x=10 y=20 style=2A (spi chars=2 "
                                  "transparent=yes font=12x24) data=[48 49] checksum=13 good"),
              std::string::npos);
}

TEST_F(SendModuleTest, EveryByteValueReachesTheModuleUnchanged) {
    StartModule({"--wire-timing"});
    std::vector<std::uint8_t> all(256);
    std::iota(all.begin(), all.end(), std::uint8_t{0});
    int frames = 0;
    for (std::size_t first = 0; first < all.size(); first += 55) {
        const std::size_t n = std::min<std::size_t>(55, all.size() - first);
        const std::string data = Hex(all.data() + first, n);
        const ProcessResult r = Send({"--no-pulse", "--speed=115200", "--command=Draw Point",
                                      "--x=2570", "--y=4881", "--data=" + data});
        ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
        ++frames;
        ASSERT_TRUE(module().WaitForFrames(frames));
        // X 0x0A0A and Y 0x1311 put LF and DC3 in the coordinates too.
        EXPECT_NE(module().out().find("Draw Point x=2570 y=4881 data=[" + data + "]"),
                  std::string::npos)
            << data;
    }
    EXPECT_EQ(Count(module().out(), "good -> status 0"), frames);
    EXPECT_EQ(Count(module().out(), "garbage"), 0);
}

TEST_F(SendModuleTest, RepliesCarryingControlBytesArriveUnchanged) {
    StartModule();
    serial::SerialLink link(serial::CreatePlatformSerialSystem(),
                            serial::BuildPortNameTable(module().link()));
    ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0) << link.LastOpenError().message();
    // Unknown command codes come back as the reply's third byte, and the code is chosen so
    // that the reply's checksum is the byte as well: AA 04 CMD 02 CHK.
    for (const std::uint8_t byte : {0x0A, 0x0D, 0x03, 0x11, 0x13}) {
        for (const bool inChecksum : {false, true}) {
            const auto command = static_cast<std::uint8_t>(inChecksum ? byte - 0xB0 : byte);
            std::vector<std::uint8_t> frame{0xAA, 0x04, command, 0x00, 0x00};
            frame[4] = protocol::FrameChecksum(frame.data(), 4);
            const std::vector<std::uint8_t> expected{
                0xAA, 0x04, command, 0x02, static_cast<std::uint8_t>(0xAA + 0x04 + command + 0x02)};
            link.DiscardInput();
            ASSERT_EQ(link.SendBytes(frame.data(), 5), 5);
            std::vector<std::uint8_t> reply(5, 0);
            ASSERT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 1) << Hex(frame);
            EXPECT_EQ(reply, expected);
            EXPECT_EQ(reply[inChecksum ? 4 : 2], byte);
        }
    }
}

TEST_F(SendModuleTest, SilentModuleGivesNoneWithinOneAndAHalfSeconds) {
    StartModule({"--silent"});
    const auto start = Clock::now();
    const ProcessResult r = Send({"--no-pulse"});
    const auto took = Clock::now() - start;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "sent: AA 04 80 00 2E\nreceived: none (0 of 5 bytes)\n");
    EXPECT_LT(took, 1500ms);
    // The window is the full second, not cut short.
    EXPECT_GE(took, 1000ms);
}

TEST_F(SendModuleTest, ReplyAfterEightHundredMillisecondsIsShown) {
    StartModule({"--reply-delay-ms", "800"});
    const auto start = Clock::now();
    const ProcessResult r = Send({"--no-pulse"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "sent: AA 04 80 00 2E\nreceived: AA 04 80 00 2E\n");
    EXPECT_GE(Clock::now() - start, 800ms);
}

TEST_F(SendModuleTest, SixByteReplyDoesNotMisalignTheNextExchange) {
    StartModule({"--reply-length", "6"});
    const ProcessResult r = Send({"--no-pulse", "--repeat=3"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Count(r.out, "received: AA 04 80 00 2E\n"), 3) << r.out;
    const std::regex stats(
        "exchanges: 3, replies: 3, median_us: [0-9]+, p99_us: [0-9]+, cpu_us_per_exchange: "
        "[0-9]+\n$");
    EXPECT_TRUE(std::regex_search(r.out, stats)) << r.out;
}

TEST_F(SendModuleTest, ShortReplyIsNotShown) {
    StartModule({"--reply-length=4"});
    const ProcessResult r = Send({"--no-pulse", "--repeat=2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Count(r.out, "received: none (4 of 5 bytes)\n"), 2) << r.out;
    EXPECT_NE(r.out.find("exchanges: 2, replies: 0, median_us: 0, p99_us: 0"), std::string::npos);
}

TEST_F(SendModuleTest, WireTimingHoldsTheReplyForTheBytesTimeOnTheWire) {
    StartModule({"--wire-timing"});
    const ProcessResult r = Send({"--no-pulse", "--speed=9600", "--repeat=3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("median_us: ([0-9]+)")));
    // Five bytes out and five back at 9600 baud are 10.4 ms on the wire.
    EXPECT_GE(std::stol(m[1]), 10416);
    EXPECT_LT(std::stol(m[1]), 500000);
}

TEST_F(SendModuleTest, PulseTakesTheModemLinesLowForASecond) {
    StartModule();
    const auto start = Clock::now();
    const ProcessResult r = Send({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // A pty has no modem lines: no message about them.
    EXPECT_EQ(r.err, "");
    EXPECT_GE(Clock::now() - start, 1000ms);
}

// ---- a port that is held or goes away -------------------------------------------------

TEST_F(SendModuleTest, PortHeldByAnotherProcessExitsThreeAndWritesNothing) {
    StartModule();
    const int fd = ::open(module().link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const ProcessResult held = Send({"--no-pulse"});
    EXPECT_EQ(held.exitCode, 3);
    EXPECT_EQ(held.out, "");
    EXPECT_EQ(held.err, "Could not open port " + module().link() + ".\nDevice or resource busy.\n");
    ::close(fd);

    const ProcessResult after = Send({"--no-pulse"});
    EXPECT_EQ(after.exitCode, 0) << after.err;
    ASSERT_TRUE(module().WaitForFrames(1));
    // The module saw one frame, the second send's, and nothing before it.
    EXPECT_EQ(Count(module().out(), "-> status"), 1) << module().out();
    EXPECT_EQ(Count(module().out(), "garbage"), 0);
}

TEST_F(SendModuleTest, ModuleVanishingMidWaitEndsTheSendAtOnce) {
    StartModule({"--silent"});
    Child send(GLASSBENCH_CLI, {"send", "--port=" + module().link(), "--no-pulse", "--repeat=5"});
    ASSERT_TRUE(send.WaitForOutput("sent: ", 10s));
    module().child().Signal(SIGKILL);
    const auto killed = Clock::now();
    const ChildResult r = send.Finish(20s);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Count(send.out(), "received: none (0 of 5 bytes)"), 5) << send.out();
    // Five reply windows would take five seconds; the hang-up ends them all.
    EXPECT_LT(Clock::now() - killed, 2500ms);
    EXPECT_LT(r.cpu, 500ms);
}

TEST_F(SendModuleTest, ModuleKeepsWorkingAfterAToolDiesHoldingThePort) {
    StartModule({"--reply-delay-ms", "2000"});
    {
        Child send(GLASSBENCH_CLI, {"send", "--port=" + module().link(), "--no-pulse"});
        ASSERT_TRUE(send.WaitForOutput("sent: ", 10s));
        // Killed while holding the lock and exclusive mode.
        send.Signal(SIGKILL);
        EXPECT_EQ(send.Finish(10s).signal, SIGKILL);
    }
    ASSERT_TRUE(module().child().WaitForOutput("cleared exclusive mode", 10s)) << module().out();
    for (int i = 0; i < 2; ++i) {
        const ProcessResult r = Send({"--no-pulse"});
        EXPECT_NE(r.exitCode, 3) << r.err;
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(SendModuleTest, ModuleReportsGarbageAndDropsAStalledFrame) {
    StartModule();
    serial::SerialLink link(serial::CreatePlatformSerialSystem(),
                            serial::BuildPortNameTable(module().link()));
    ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0);
    const std::vector<std::uint8_t> garbage{0x0D, 0x0A, 0x11, 0xAA, 0x04, 0x80, 0x00, 0x2E};
    ASSERT_EQ(link.SendBytes(garbage.data(), 8), 8);
    std::vector<std::uint8_t> reply(5, 0);
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 1);
    EXPECT_TRUE(module().child().WaitForOutput("garbage: 0D 0A 11\n", 10s)) << module().out();

    const std::vector<std::uint8_t> stalled{0xAA, 0x09, 0x8A};
    ASSERT_EQ(link.SendBytes(stalled.data(), 3), 3);
    EXPECT_TRUE(module().child().WaitForOutput("dropped incomplete frame: AA 09 8A\n", 10s))
        << module().out();
    // A stalled frame gets no answer.
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 20000), 0);
}

// ---- the module process ------------------------------------------------------------------

TEST(ModuleProcessTest, RemovesItsLinkOnSigintAndSigterm) {
    for (const int sig : {SIGINT, SIGTERM}) {
        TempDir dir;
        const std::string link = (dir.path() / "m").string();
        Child module(GLASSBENCH_CLI, {"module", "--link", link});
        ASSERT_TRUE(module.WaitForOutput("module: " + link, 10s)) << module.err();
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        module.Signal(sig);
        const ChildResult r = module.Finish(10s);
        EXPECT_EQ(r.exitCode, 0) << sig;
        EXPECT_FALSE(std::filesystem::is_symlink(link)) << sig;
    }
}

TEST(ModuleProcessTest, DefaultLinkIsInTheRuntimeFolder) {
    TempDir dir;
    const char* previous = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = previous != nullptr ? previous : "";
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    Child module(GLASSBENCH_CLI, {"module"});
    if (previous != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    const std::string link = (dir.path() / "glassbench-module").string();
    ASSERT_TRUE(module.WaitForOutput("module: " + link + " -> /dev/pts/", 10s)) << module.err();
    module.Signal(SIGTERM);
    EXPECT_EQ(module.Finish(10s).exitCode, 0);
}

TEST(ModuleProcessTest, DoesNotReplaceAFileThatIsNoLink) {
    TempDir dir;
    const auto file = dir.Write("taken", "keep me");
    Child module(GLASSBENCH_CLI, {"module", "--link", file.string()});
    const ChildResult r = module.Finish(10s);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(module.err().find("exists and is not a link"), std::string::npos);
    EXPECT_FALSE(std::filesystem::is_symlink(file));
}

TEST(ModuleProcessTest, ReplacesAStaleLink) {
    TempDir dir;
    const auto link = dir.path() / "stale";
    std::filesystem::create_symlink("/dev/pts/glassbench-gone", link);
    Child module(GLASSBENCH_CLI, {"module", "--link", link.string()});
    ASSERT_TRUE(module.WaitForOutput("module: " + link.string(), 10s)) << module.err();
    EXPECT_NE(std::filesystem::read_symlink(link).string(), "/dev/pts/glassbench-gone");
    module.Signal(SIGTERM);
    EXPECT_EQ(module.Finish(10s).exitCode, 0);
}

// ---- ports, open failures and usage ---------------------------------------------------

TEST(PortsCommandTest, ListsThirtyPositionsWithOverridesFirst) {
    TempDir dir;
    const auto present = dir.Write("device", "");
    const std::string overrides = present.string() + ":" + (dir.path() / "absent").string();
    ::setenv("GLASSBENCH_PORTS", overrides.c_str(), 1);
    const ProcessResult r = RunProcess(GLASSBENCH_CLI, {"ports"});
    ::unsetenv("GLASSBENCH_PORTS");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Count(r.out, "\n"), 30);
    EXPECT_TRUE(std::regex_search(
        r.out,
        std::regex("^ 0  " + Escaped(present.string()) + " +present\n 1  " +
                   Escaped((dir.path() / "absent").string()) + " +absent\n 2  /dev/ttyUSB2 ")));
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n10  /dev/ttyACM0 +(present|absent)\n")));
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n29  /dev/ttyS9 +(present|absent)\n$")));
}

TEST(SendOpenTest, MissingDeviceExitsThreeWithTheSystemsReason) {
    const ProcessResult r =
        RunProcess(GLASSBENCH_CLI, {"send", "--port=/dev/glassbench-missing", "--no-pulse"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Could not open port /dev/glassbench-missing.\nNo such file or directory.\n");
}

TEST(SendOpenTest, PortIndexOpensTheTablesRow) {
    TempDir dir;
    const std::string missing = (dir.path() / "not-there").string();
    ::setenv("GLASSBENCH_PORTS", ("/x:" + missing).c_str(), 1);
    const ProcessResult r = RunProcess(GLASSBENCH_CLI, {"send", "--port=1", "--no-pulse"});
    ::unsetenv("GLASSBENCH_PORTS");
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err, "Could not open port " + missing + ".\nNo such file or directory.\n");
}

TEST(SendOpenTest, NonTerminalIsRefused) {
    const ProcessResult r = RunProcess(GLASSBENCH_CLI, {"send", "--port=/dev/null", "--no-pulse"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err, "Could not open port /dev/null.\nInappropriate ioctl for device.\n");
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* reason;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class SerialUsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(SerialUsageTest, BadUsageExitsTwo) {
    const ProcessResult r = RunProcess(GLASSBENCH_CLI, GetParam().args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(std::string("glassbench-cli: ") + GetParam().reason + "\n", 0), 0u)
        << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialUsageTest,
    ::testing::Values(
        UsageCase{"NoPort", {"send"}, "send needs --port=DEVICE|INDEX"},
        UsageCase{"IndexTooBig", {"send", "--port=30"}, "--port index 30 is not 0 to 29"},
        UsageCase{"NegativeIndex", {"send", "--port=-1"}, "--port index -1 is not 0 to 29"},
        UsageCase{"NoSuchSpeed",
                  {"send", "--port=0", "--speed=38400"},
                  "--speed '38400' is not one of 1200, 2400, 4800, 9600, 19200, 57600, 115200"},
        UsageCase{"ZeroRepeat",
                  {"send", "--port=0", "--repeat=0"},
                  "--repeat '0' is not a count of 1 or more"},
        UsageCase{"BadCommand",
                  {"send", "--port=0", "--command=Draw Star"},
                  "--command 'Draw Star' names no command"},
        UsageCase{
            "SendPositional", {"send", "--port=0", "extra"}, "send takes no argument 'extra'"},
        UsageCase{"PortsPositional", {"ports", "x"}, "ports takes no argument 'x'"},
        UsageCase{"NegativeReplyLength",
                  {"module", "--reply-length=-1"},
                  "--reply-length '-1' is not 0 to 255"},
        UsageCase{"DelayNotANumber",
                  {"module", "--reply-delay-ms=soon"},
                  "--reply-delay-ms 'soon' is not 0 to 600000"},
        UsageCase{"SilentWithValue", {"module", "--silent=yes"}, "option --silent takes no value"}),
    [](const auto& info) { return info.param.name; });

TEST(SerialHelpTest, EachCommandTakesHelp) {
    for (const char* command : {"send", "ports", "module"}) {
        const ProcessResult r = RunProcess(GLASSBENCH_CLI, {command, "--help"});
        EXPECT_EQ(r.exitCode, 0) << command;
        EXPECT_NE(r.out.find("usage: glassbench-cli"), std::string::npos) << command;
    }
}

}  // namespace
}  // namespace glassbench::testing
