// The virtual module on TCP (module --listen) against real clients: glassbench-cli send over
// rfc2217:// and socket://, and pyserial's RFC 2217 client. Each module takes a free loopback
// port (port 0) and the tests read the one it took from its first line.
//
// With the Windows build under test (GLASSBENCH_TEST_CLI) each exchange runs both ways round:
// the .exe module answering this build's send, and the .exe send against this build's module.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "ModuleFixture.h"
#include "RunProcess.h"
#include "TestHex.h"
#include "TextMatch.h"
#include "net/Socket.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const CliUnderTest& Native() {
    static const CliUnderTest native(GLASSBENCH_CLI, false);
    return native;
}

struct Sides {
    const CliUnderTest& module;
    const CliUnderTest& tool;
};

// Natively one program plays both parts, so once; a Windows build plays each in turn.
std::vector<Sides> AllSides() {
    if (!Cli().windows) {
        return {{Native(), Native()}};
    }
    return {{Cli(), Native()}, {Native(), Cli()}};
}

// A module listening on a free loopback port.
struct TcpModule {
    TcpModule(const CliUnderTest& cli, const std::string& scheme,
              std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"module", "--listen=" + scheme + "://127.0.0.1:0"});
        process = cli.Start(options);
        // The whole first line, then the address in it.
        if (process->WaitFor("\n", 20s)) {
            if (const auto first = Search(process->out(), "module: listening on (" + scheme +
                                                              "://127\\.0\\.0\\.1:\\d+)\n")) {
                url = (*first)[1];
            }
        }
    }
    std::string url;
    std::unique_ptr<Process> process;
};

std::string DrawPointData() {
    std::vector<std::uint8_t> data(55);
    std::iota(data.begin(), data.end(), 0);
    return Hex(data);
}

struct TcpCase {
    const char* scheme;
    std::vector<std::string> send;
    std::string moduleLines;  // a regular expression for the module's lines after the first
    std::chrono::milliseconds atLeast;
};

// The longest Draw Point at X = -1, FF FF on the wire (doubled by rfc2217), 63 bytes out and 5
// back. rfc2217: the pulse's modem lines reach the module as SET-CONTROL, the speed as
// SET-BAUDRATE, and wire timing takes it: one second low, then 567 ms at 1200 baud. socket://
// sets nothing: 9600 baud, 71 ms.
TEST(ModuleOnTcp, SendsFramesByteForByteWithTheClientsLinesAndSpeed) {
    const std::vector<std::string> frame{"--command=Draw Point", "--x=-1",
                                         "--data=" + DrawPointData()};
    const std::string frameLine =
        "Draw Point x=65535 y=0 data=\\[" + DrawPointData() + "\\] checksum=3D good -> status 0\n";
    const TcpCase cases[] = {
        {"rfc2217",
         {"--speed=1200"},
         "module: client connected\nspeed: 1200 baud\nmodem line: DTR low\nmodem line: RTS low\n"
         "modem line: DTR high\nmodem line: RTS high\n" +
             frameLine + "module: client gone\n",
         1560ms},
        {"socket",
         {"--no-pulse"},
         "module: client connected\n" + frameLine + "module: client gone\n",
         70ms},
    };
    for (const Sides& sides : AllSides()) {
        for (const TcpCase& c : cases) {
            TcpModule module(sides.module, c.scheme, {"--wire-timing"});
            ASSERT_NE(module.url, "") << module.process->out() << module.process->err();
            std::vector<std::string> args{"send", "--port=" + module.url};
            args.insert(args.end(), c.send.begin(), c.send.end());
            args.insert(args.end(), frame.begin(), frame.end());
            const auto start = Clock::now();
            const ProcessResult r = sides.tool.Run(args);
            EXPECT_GE(Clock::now() - start, c.atLeast) << c.scheme;
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.out, "sent: AA 3E 8A FF FF 00 00 " + DrawPointData() +
                                 " 3D\nreceived: AA 04 8A 00 38\n");
            if (c.scheme == std::string("rfc2217")) {
                EXPECT_EQ(r.err, "");  // every request acknowledged: no notices
            }
            ASSERT_TRUE(module.process->WaitFor("module: client gone", 10s))
                << module.process->out();
            const std::string& out = module.process->out();
            EXPECT_TRUE(Matches(out.substr(out.find('\n') + 1), c.moduleLines)) << out;
        }
    }
}

// One client at a time, as a serial port is held by one program: a second is refused and the
// first keeps the module; once it has gone, the next one is served.
TEST(ModuleOnTcp, RefusesASecondClientWhileTheFirstHoldsIt) {
    for (const Sides& sides : AllSides()) {
        TcpModule module(sides.module, "rfc2217");
        ASSERT_NE(module.url, "") << module.process->out() << module.process->err();
        const auto first = sides.tool.Start(
            {"send", "--port=" + module.url, "--no-pulse", "--repeat=2", "--interval=600000"});
        ASSERT_TRUE(first->WaitFor("received: AA 04 80 00 2E\n", 20s)) << first->err();
        const ProcessResult second = sides.tool.Run({"send", "--port=" + module.url, "--no-pulse"});
        EXPECT_EQ(second.exitCode, 3);
        EXPECT_EQ(second.err.rfind("Could not open port " + module.url + ".\n", 0), 0u)
            << second.err;
        EXPECT_TRUE(
            module.process->WaitFor("module: refused a second client: one at a time\n", 10s));
        first->Signal(SIGKILL);
        first->Finish();
        ASSERT_TRUE(module.process->WaitFor("module: client gone\n", 10s)) << module.process->out();
        EXPECT_EQ(sides.tool.Run({"send", "--port=" + module.url, "--no-pulse"}).exitCode, 0);
        EXPECT_TRUE(module.process->WaitFor("-> status 0", 10s, 2)) << module.process->out();
    }
}

// A client that goes in the middle of a frame and connects again at once (a port reopened)
// is served afresh: what it left of the frame is dropped, never joined to its next one.
TEST(ModuleOnTcp, AClientBackAtOnceIsServedAfresh) {
    TcpModule module(Cli(), "socket");
    ASSERT_NE(module.url, "") << module.process->out() << module.process->err();
    const auto port =
        static_cast<std::uint16_t>(std::stoi(module.url.substr(module.url.rfind(':') + 1)));
    const auto deadline = Clock::now() + 20s;
    std::error_code error;
    const std::uint8_t half[] = {0xAA, 0x09, 0x8A};
    const std::vector<std::uint8_t> clear{0xAA, 0x04, 0x80, 0x00, 0x2E};
    auto gone = net::Socket::Connect("127.0.0.1", port, deadline, std::nullopt, error);
    ASSERT_TRUE(gone) << error.message();
    ASSERT_EQ(gone->Send(half).count, 3);
    gone.reset();
    const auto client = net::Socket::Connect("127.0.0.1", port, deadline, std::nullopt, error);
    ASSERT_TRUE(client) << error.message();
    ASSERT_EQ(client->Send(clear).count, 5);
    std::vector<std::uint8_t> reply(5);
    for (std::size_t got = 0;
         got < 5 && client->Wait(net::WaitFor::Input, deadline) == net::WaitResult::Ready;) {
        const net::IoResult r = client->Receive(std::span(reply).subspan(got));
        ASSERT_NE(r.status, net::IoStatus::Gone) << module.process->out();
        got += static_cast<std::size_t>(r.count);
    }
    EXPECT_EQ(reply, clear);
    ASSERT_TRUE(module.process->WaitFor("-> status 0", 10s)) << module.process->out();
    EXPECT_NE(module.process->out().find("dropped incomplete frame: AA 09 8A\nmodule: client gone\n"
                                         "module: client connected\nClear Screen"),
              std::string::npos)
        << module.process->out();
}

// pyserial waits for an acknowledgement of every setting, modem line and purge, and gives up
// on a server that does not answer as RFC 2217 asks.
TEST(ModuleOnTcp, AnswersPyserialsRfc2217Client) {
    TcpModule module(Cli(), "rfc2217");
    ASSERT_NE(module.url, "") << module.process->out() << module.process->err();
    const ProcessResult r =
        RunProcess("/usr/bin/python3", {GLASSBENCH_PYSERIAL_CLIENT, module.url});
    if (r.exitCode == 77) {
        GTEST_SKIP() << r.err;
    }
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "AA 04 80 00 2E\n");
    ASSERT_TRUE(module.process->WaitFor("module: client gone", 10s)) << module.process->out();
    EXPECT_TRUE(Finds(module.process->out(),
                      "speed: 115200 baud\n(.*\n)*modem line: DTR low\nmodem line: RTS low\n"
                      "modem line: DTR high\nmodem line: RTS high\nClear Screen .*-> status 0\n"))
        << module.process->out();
}

// A module that cannot take a connection (out of descriptors, here by its limit set below the
// ones it has) says so once and leaves the listener alone for a while, instead of asking again
// and again at full speed; once it can, the waiting client is served.
TEST(ModuleOnTcp, AListenerThatCannotAcceptIsLeftAloneAWhile) {
#ifdef GLASSBENCH_SANITIZERS
    // UndefinedBehaviorSanitizer's vptr check tries memory through a pipe of its own; with no
    // descriptor left it cannot make one, and reports a fault that is not there.
    GTEST_SKIP() << "the sanitizers need descriptors that this test takes away";
#endif
    TcpModule module(Native(), "socket");
    ASSERT_NE(module.url, "") << module.process->out() << module.process->err();
    const std::string pid = std::to_string(module.process->Pid());
    // A new descriptor takes the lowest free number, which the limit makes one too many.
    std::set<int> open;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + pid + "/fd")) {
        open.insert(std::stoi(fd.path().filename().string()));
    }
    int lowestFree = 0;
    while (open.contains(lowestFree)) {
        ++lowestFree;
    }
    const std::string full = std::to_string(lowestFree);
    ASSERT_EQ(RunProcess("/usr/bin/prlimit", {"--pid", pid, "--nofile=" + full + ":1024"}).exitCode,
              0);
    const auto port =
        static_cast<std::uint16_t>(std::stoi(module.url.substr(module.url.rfind(':') + 1)));
    std::error_code error;
    const auto client =
        net::Socket::Connect("127.0.0.1", port, Clock::now() + 20s, std::nullopt, error);
    ASSERT_TRUE(client) << error.message();
    ASSERT_TRUE(module.process->WaitFor("module: cannot accept a connection: ", 20s))
        << module.process->out();
    const auto cpu = CpuTimeOf(module.process->Pid());
    const auto from = Clock::now();
    ASSERT_EQ(RunProcess("/usr/bin/prlimit", {"--pid", pid, "--nofile=1024:1024"}).exitCode, 0);
    ASSERT_TRUE(module.process->WaitFor("module: client connected", 20s)) << module.process->out();
    EXPECT_LT((CpuTimeOf(module.process->Pid()) - cpu) * 2, Clock::now() - from);
    EXPECT_EQ(CountOf(module.process->out(), "module: cannot accept a connection: "), 1)
        << module.process->out();
}

TEST(ModuleOnTcp, WindowsHasOnlyTheListeningModule) {
    if (!Cli().windows) {
        GTEST_SKIP() << "this system has pseudo-terminals";
    }
    const ProcessResult r = Cli().Run({"module"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.rfind("glassbench-cli: module runs only with --listen here", 0), 0u) << r.err;
}

}  // namespace
}  // namespace glassbench::testing
