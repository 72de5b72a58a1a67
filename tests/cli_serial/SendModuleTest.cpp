// glassbench-cli send, ports and module end to end: the built programs talk to the virtual
// module over real pseudo-terminals. Every wait is a deadline on the programs' output or exit.
//
// The CLI under test may be the Windows build, under Wine (GLASSBENCH_TEST_CLI); the virtual
// module is always this build's. What only Linux has is skipped for it, saying why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "ModuleFixture.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "TestHex.h"
#include "TextMatch.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct SendCase {
    const char* name;
    std::vector<std::string> module, send;
    int exitCode;
    std::string out;  // a regular expression for all of it
    std::chrono::milliseconds atLeast, below = 10s;
    friend void PrintTo(const SendCase& c, std::ostream* os) { *os << c.name; }
};

class SendTest : public ModuleTest, public ::testing::WithParamInterface<SendCase> {};

TEST_P(SendTest, ExchangesWithTheModule) {
    const SendCase& c = GetParam();
    StartModule(c.module);
    const auto start = Clock::now();
    const ProcessResult r = Send(c.send);
    const auto took = Clock::now() - start;
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_TRUE(Matches(r.out, c.out)) << r.out;
    EXPECT_EQ(r.err, "");  // a pty has no modem lines, and that is no failure
    EXPECT_GE(took, c.atLeast);
    EXPECT_LT(took, c.below);
}

const std::string kClear = "sent: AA 04 80 00 2E\nreceived: ";
const std::string kAnswered = kClear + "AA 04 80 00 2E\n";

// Draw Point's longest data: 55 bytes, 00 01 ... 36.
std::string LongestDrawPointData() {
    std::vector<std::uint8_t> data(55);
    std::iota(data.begin(), data.end(), 0);
    return Hex(data);
}

// `n` exchanges that print `exchange`, and the figures line of a repeated send.
std::string Repeated(const std::string& exchange, int n, int replies, const char* median) {
    return "(" + exchange + "){" + std::to_string(n) + "}exchanges: " + std::to_string(n) +
           ", replies: " + std::to_string(replies) + ", median_us: " + median +
           ", p99_us: \\d+, cpu_us_per_exchange: \\d+\n";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, SendTest, ::testing::Values(
    SendCase{"PulseHoldsTheModemLinesLowForASecond", {}, {}, 0, kAnswered, 1000ms},
    // The transcript shows the SPI form; the wire carries the whole frame.
    SendCase{"TranscriptFollowsTheLcdsType", {}, {"--no-pulse", "--command=6", "--x=10", "--y=20",
             "--font-size=1", "--data=48 49", "--lcd-type=1"}, 0,
             "sent: 86 00 0A 00 14 2A 48 49\nreceived: AA 04 86 00 34\n", 0ms},
    // The tool then closes the port while its wait for the reply is still pending, which must
    // not hang it.
    SendCase{"SilentModule", {"--silent"}, {"--no-pulse"}, 1, kClear + "none \\(0 of 5 bytes\\)\n", 1000ms},
    SendCase{"ReplyAfter800Ms", {"--reply-delay-ms=800"}, {"--no-pulse"}, 0, kAnswered, 800ms},
    SendCase{"SixByteReplyDoesNotMisalignTheNext", {"--reply-length", "6"}, {"--no-pulse", "--repeat=3"}, 0,
             Repeated(kAnswered, 3, 3, "\\d+"), 0ms},
    SendCase{"ShortReplyIsNone", {"--reply-length=4"}, {"--no-pulse", "--repeat=2"}, 1,
             Repeated(kClear + "none \\(4 of 5 bytes\\)\n", 2, 0, "0"), 2000ms},
    // A reply that comes during the pause (1.2 s after its frame, in the pause from 1.0 s to
    // 1.5 s) is thrown away before the next frame, never shown as the next frame's reply.
    SendCase{"PausedRepliesAreDiscarded", {"--reply-delay-ms=1200"}, {"--no-pulse", "--repeat=2",
             "--interval=500"}, 1, Repeated(kClear + "none \\(0 of 5 bytes\\)\n", 2, 0, "0"), 2500ms},
    // Ten bytes at 9600 baud are 10.4 ms on the wire: five digits of microseconds.
    SendCase{"WireTiming", {"--wire-timing"}, {"--no-pulse", "--speed=9600", "--repeat=3"}, 0,
             Repeated(kAnswered, 3, 3, "\\d{5}"), 0ms},
    // 63 bytes out and 5 back at 1200 baud are 567 ms on the wire, paced by the module: the
    // reply window may only start once the frame has left.
    SendCase{"LongestFrameAt1200Baud", {"--wire-timing"}, {"--no-pulse", "--speed=1200",
             "--command=Draw Point", "--data=" + LongestDrawPointData()}, 0,
             "sent: AA 3E 8A 00 00 00 00 " + LongestDrawPointData() + " 3F\nreceived: AA 04 8A 00 38\n",
             560ms},
    // Raw bytes go as they are, the whole buffer's worth: Draw Point with L = 255, a bad length.
    SendCase{"LongestRawFrame", {}, {"--no-pulse", "--raw=AAFF8A" + std::string(504, '0') + "33"}, 0,
             "sent: AA FF 8A( 00){252} 33\nreceived: AA 04 8A 03 3B\n", 0ms}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Seed 4 draws these five faults for the first five frames as late (461 ms), split, long, junk
// 7F 03 58 and junk CC A1. The tool reads five bytes an exchange: the numbered answers, then
// the noise where an answer should start; the module names every fault it applied.
TEST_F(ModuleTest, FaultsNumberTheAnswersAndNameThemselves) {
    StartModule({"--faults=4", "--fault-mix=normal:1,long:1,split:1,late:1,junk:1"});
    const auto start = Clock::now();
    const ProcessResult r = Send({"--no-pulse", "--repeat=5"});
    EXPECT_GE(Clock::now() - start, 461ms);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(module->WaitFor("[fault ", 10s, 5)) << module->out();
    const auto all = [](const std::string& text, const char* pattern) {
        std::string found;
        for (const std::string& group : FirstGroups(text, pattern)) {
            found += (found.empty() ? "" : "; ") + group;
        }
        return found;
    };
    EXPECT_EQ(all(r.out, "received: (.*)\n"),
              "AA 04 80 00 2E; AA 04 80 01 2F; AA 04 80 02 30; 7F 03 58 AA 04; CC A1 AA 04 80");
    EXPECT_EQ(all(module->out(), "-> status 0 \\[fault (\\w+, seq \\w+)\\]\n"),
              "late, seq 00; split, seq 01; long, seq 02; junk, seq 03; junk, seq 04");
}

TEST_F(ModuleTest, PortLockedByAnotherProcessExitsThreeAndWritesNothing) {
    if (Cli().windows) {
        GTEST_SKIP() << "flock is how Linux programs hold a port; Windows holds one with share "
                        "mode 0, which Wine does not enforce on COM devices";
    }
    StartModule();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const ProcessResult held = Send({"--no-pulse"});
    ::close(fd);
    EXPECT_EQ(held.exitCode, 3);
    EXPECT_EQ(held.out, "");
    // The holder is named: this test, whose flock /proc/locks shows.
    EXPECT_EQ(held.err, "Could not open port " + path + ".\nDevice or resource busy: port " + path +
                            " is in use by " + OwnCommand() + " (pid " +
                            std::to_string(::getpid()) + ").\n");
    EXPECT_EQ(Send({"--no-pulse"}).exitCode, 0);
    // The module saw the second send's frame and nothing before it.
    ASSERT_TRUE(module->WaitFor("-> status", 10s)) << module->out();
    EXPECT_EQ(module->out().find("garbage"), std::string::npos);
    EXPECT_EQ(CountOf(module->out(), "-> status"), 1) << module->out();
}

TEST_F(ModuleTest, ClearsWhatAKilledToolLeftAndVanishingEndsEveryWaitAtOnce) {
    if (Cli().windows) {
        GTEST_SKIP() << "the lock and exclusive mode a killed tool leaves, and a pty's hang-up, "
                        "are Linux's own";
    }
    StartModule({"--silent"});
    // Its lock file stays behind too, naming a process that has ended (and that nobody has
    // waited for yet), in a lock folder of the test's own.
    const std::vector<std::string> locks{"GLASSBENCH_LOCK_DIR=" + dir.path().string()};
    Process died(GLASSBENCH_CLI, {"send", "--port=" + path, "--no-pulse"}, {}, locks);
    ASSERT_TRUE(died.WaitFor("sent: ", 10s));
    died.Signal(SIGKILL);  // while it holds the lock and exclusive mode
    ASSERT_TRUE(module->WaitFor("cleared exclusive mode", 10s)) << module->out();
    // The next tool opens the port; then the module vanishes while it waits for a reply.
    Process send(GLASSBENCH_CLI, {"send", "--port=" + path, "--no-pulse", "--repeat=5"}, {}, locks);
    ASSERT_TRUE(send.WaitFor("sent: ", 10s)) << send.err();
    module->Signal(SIGKILL);
    const ProcessResult r = send.Finish(20s);
    EXPECT_EQ(r.exitCode, 1);
    // The hang-up ends the wait of the frame in flight, not its reply window running out, and
    // without --reconnect the run there: one line names the port and why, and the frames never
    // tried are counted, not each shown.
    EXPECT_EQ(r.err, "port " + path + " gone (Input/output error)\n");
    EXPECT_TRUE(Matches(r.out,
                        "sent: AA 04 80 00 2E\nreceived: none \\(0 of 5 bytes; the port "
                        "failed\\)\nexchanges: 1, replies: 0, .*, not tried: 4\n"))
        << r.out;
}

// A terminal that another process keeps open keeps its exclusive mode too: a tool that died
// holding the port would leave it busy for everyone. A signal must let the tool let go.
TEST(SignalTest, ATerminatedSendReleasesThePortForTheNextProgram) {
    if (Cli().windows) {
        GTEST_SKIP() << "signals and exclusive terminals are how Linux stops and holds a port";
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char path[128] = {};
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master) | ::ptsname_r(master, path, sizeof(path)), 0);
    const int held = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        // Nobody answers: the signal comes while the tool waits for a reply.
        Process send(GLASSBENCH_CLI, {"send", std::string("--port=") + path, "--no-pulse",
                                      "--repeat=1000", "--interval=1"});
        ASSERT_TRUE(send.WaitFor("sent: ", 10s)) << send.err();
        send.Signal(sig);
        const ProcessResult r = send.Finish(10s);
        EXPECT_EQ(r.exitCode, 128 + sig) << r.err;
        EXPECT_EQ(r.err, "glassbench-cli: stopped by signal " + std::to_string(sig) + "\n");
        // Neither exclusive mode nor the lock outlives the tool.
        int exclusive = -1;
        EXPECT_EQ(::ioctl(held, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << sig;
        EXPECT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0) << sig;
        ::flock(held, LOCK_UN);
    }
    // And the next program opens the port: it sends, and waits in vain for a reply.
    const ProcessResult next =
        RunProcess(GLASSBENCH_CLI, {"send", std::string("--port=") + path, "--no-pulse"});
    EXPECT_EQ(next.exitCode, 1) << next.err;
    ::close(held);
    ::close(master);
}

TEST(ModuleProcessTest, ReplacesAStaleLinkAndRemovesItWhenStopped) {
    for (const int sig : {SIGINT, SIGTERM}) {
        TempDir dir;
        const auto link = dir.path() / "glassbench-module";  // the default, in the runtime folder
        std::filesystem::create_symlink("/dev/pts/glassbench-gone", link);
        Process module(GLASSBENCH_CLI, {"module"}, {}, {"XDG_RUNTIME_DIR=" + dir.path().string()});
        ASSERT_TRUE(module.WaitFor("module: " + link.string() + " -> /dev/pts/", 10s))
            << module.err();
        module.Signal(sig);
        EXPECT_EQ(module.Finish(10s).exitCode, 0);
        EXPECT_FALSE(std::filesystem::is_symlink(link)) << sig;
    }
}

TEST(PortsCommandTest, ListsThirtyPositionsOverridesFirstThenUsbAcmAndOnBoard) {
    if (Cli().windows) {
        GTEST_SKIP() << "this is Linux's port table; the Windows one is checked by "
                        "Win32PortNamesTest, its ports present by tests/packaging/check-msi.sh";
    }
    const ProcessResult r = RunProcess(GLASSBENCH_CLI, {"ports"}, {},
                                       {"GLASSBENCH_PORTS=/dev/null::/dev/glassbench-absent:"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string listing(
        " 0  /dev/null +present\n 1  /dev/glassbench-absent +absent\n 2  /dev/ttyUSB2 .*\n"
        "(.+\n){7}10  /dev/ttyACM0 .*\n(.+\n){9}20  /dev/ttyS0 .*\n(.+\n){8}29  /dev/ttyS9 +"
        "(present|absent)\n(present: /dev/\\S+( \\(.+\\))?\n(  [a-z -]+: .+\n)*)*");
    EXPECT_TRUE(Matches(r.out, listing)) << r.out;
}

}  // namespace
}  // namespace glassbench::testing
