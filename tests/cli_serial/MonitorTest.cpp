// glassbench-cli monitor on pseudo-terminals the test writes into from the master side, as a
// microcontroller's and a module's TX lines would, and what it records played back to the
// virtual module. Every wait is a deadline on the monitor's output; the 100 ms stall is waited
// for by its report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "JsonLines.h"
#include "ModuleFixture.h"
#include "RunProcess.h"
#include "Ser2net.h"
#include "TestHex.h"
#include "TextMatch.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;

// A tapped line: the test writes on the master side; it also keeps the terminal side open
// itself, so that after the monitor has gone the master still tells "nothing came" (EAGAIN)
// from "closed" (EIO).
struct TappedLine {
    // `raw`: the terminal side is raw from the start, so that what is written before a server
    // in front of it (ser2net) has opened it waits unchanged; otherwise the monitor must make it
    // raw itself.
    explicit TappedLine(bool raw = false) {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
            ::ptsname_r(master, name, sizeof(name)) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
        }
        path = name;
        held = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (raw && ::tcgetattr(held, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(held, TCSANOW, &t);
        }
    }
    ~TappedLine() {
        Close();
        ::close(held);
    }
    void Write(const std::string& hex) const {
        const auto bytes = Bytes(hex);
        EXPECT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Whatever arrived on the master side: what the monitor wrote to the line.
    std::string Received() const {
        std::uint8_t buffer[256];
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        const ssize_t n = ::read(master, buffer, sizeof(buffer));
        EXPECT_TRUE(n > 0 || errno == EAGAIN) << errno;
        return n > 0 ? Hex(buffer, static_cast<std::size_t>(n)) : "";
    }
    void Close() {
        ::close(master);
        master = -1;
    }

    int master = -1;
    int held = -1;
    std::string path;
};

// The start, a frame after noise, its reply, a frame stalled for 100 ms, a bad checksum and a
// frame that ends the run at --count=3; the lines are only ever listened to.
TEST(MonitorTest, DecodesFramesNoiseStallsAndRepliesWithoutWriting) {
    TappedLine port, replies;
    // Whichever CLI is under test: on Windows the wait over both lines is over their reads.
    const auto monitor = Cli().Start({"monitor", "--port=" + port.path, "--replies", replies.path,
                                      "--speed=115200", "--count=3"});
    ASSERT_TRUE(monitor->WaitFor(" baud\n", 10s)) << monitor->err();
    port.Write("01 02 AA 04 80 00 2E");
    ASSERT_TRUE(monitor->WaitFor("length 4 good\n", 10s)) << monitor->out();
    replies.Write("AA 04 80 00 2E");
    ASSERT_TRUE(monitor->WaitFor(" reply ", 10s)) << monitor->out();
    port.Write("AA 09 8A");
    ASSERT_TRUE(monitor->WaitFor("incomplete: ", 10s)) << monitor->out();
    port.Write("AA 04 80 00 2F AA 09 8A 00 64 00 32 F8 00 CB AA");
    const ProcessResult r = monitor->Finish(10s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string t = "(\\d+\\.\\d{6})";
    // Each piece's own text is decode's, checked with it (tests/cli).
    const auto m = Match(
        r.out, "monitor: listening on " + port.path + ", replies on " + replies.path +
                   " at 115200 baud\n" + t + " noise: 01 02\n" + t + " frame AA 04 80 00 2E: .*\n" +
                   t + " reply AA 04 80 00 2E after Clear Screen \\(80\\) at " + t + "\n" + t +
                   " incomplete: AA 09 8A\n" + t + " frame AA 04 80 00 2F: .*\n" + t +
                   " frame AA 09 8A 00 64 00 32 F8 00 CB: .*\nframes: 3, bad checksums: 1, noise "
                   "bytes: 2, incomplete: 1, replies: 1, seconds: " +
                   t + "\n");
    ASSERT_TRUE(m) << r.out;
    EXPECT_EQ((*m)[4], (*m)[2]);  // the reply names the frame it follows by its time
    // The stalled frame is reported once the line has been silent for 100 ms.
    EXPECT_GE(std::stod((*m)[5]) - std::stod((*m)[3]), 0.1);
    EXPECT_EQ(port.Received(), "");
    EXPECT_EQ(replies.Received(), "");
}

// --json gives one object a line, each with "t"; the run ends on a signal or after --seconds
// with a summary and exit 0, and when the line vanishes (with --no-reconnect) with exit 1.
TEST(MonitorTest, JsonLinesAndEveryWayToStop) {
    enum class End { Signal, Seconds, Vanish };
    for (const End end : {End::Signal, End::Seconds, End::Vanish}) {
        SCOPED_TRACE(static_cast<int>(end));
        TappedLine port;
        std::vector<std::string> args{"monitor", "--json", "--port=" + port.path};
        if (end == End::Seconds) {
            args.emplace_back("--seconds=1");
        } else if (end == End::Vanish) {
            args.emplace_back("--no-reconnect");
        }
        Process monitor(GLASSBENCH_CLI, args);
        ASSERT_TRUE(monitor.WaitFor("\"kind\":\"start\"", 10s)) << monitor.err();
        port.Write("AA 0A 86 00 0A 00 14 2A 48 49 13 77");
        ASSERT_TRUE(monitor.WaitFor("\"kind\":\"frame\"", 10s)) << monitor.out();
        if (end == End::Signal) {
            monitor.Signal(SIGINT);
        } else if (end == End::Vanish) {
            port.Close();
        }
        const ProcessResult r = monitor.Finish(10s);
        EXPECT_EQ(r.exitCode, end == End::Vanish ? 1 : 0);
        EXPECT_EQ(r.err, end != End::Vanish ? ""
                                            : "glassbench-cli monitor: " + port.path +
                                                  " has gone away (unplugged, or its other end "
                                                  "closed): Input/output error\n");
        EXPECT_EQ(
            JsonLinesCheck(r.out,
                           {"[o['kind'] for o in lines] == ['start', 'frame', 'noise', 'summary']",
                            "all(type(o['t']) in (int, float) for o in lines)",
                            "lines[1]['command'] == 'Ascii String Display'",
                            "lines[1]['style']['characters'] == 2",
                            "lines[3]['frames'] == 1 and lines[3]['noise_bytes'] == 1",
                            "lines[3]['t'] >= " + std::string(end == End::Seconds ? "1" : "0")}),
            "")
            << r.out;
    }
}

// Both lines through ser2net, the frames as raw TCP and the replies as RFC 2217: the monitor
// takes them as it takes local lines, and writes nothing to either.
TEST(MonitorTest, WatchesLinesBehindSer2net) {
    TappedLine port(true), replies(true);
    const Ser2net portServer(port.path, "socket"), repliesServer(replies.path, "rfc2217");
    ASSERT_FALSE(portServer.Name().empty() || repliesServer.Name().empty())
        << portServer.Error() << repliesServer.Error();
    const auto monitor =
        Cli().Start({"monitor", "--port=" + portServer.Name(), "--replies=" + repliesServer.Name(),
                     "--speed=115200", "--count=2"});
    ASSERT_TRUE(monitor->WaitFor(" baud\n", 10s)) << monitor->err();
    port.Write("AA 04 80 00 2E");
    ASSERT_TRUE(monitor->WaitFor("length 4 good\n", 10s)) << monitor->out();
    replies.Write("AA 04 80 FF 2D");
    ASSERT_TRUE(monitor->WaitFor(" reply ", 10s)) << monitor->out();
    port.Write("AA 04 81 00 2F");
    const ProcessResult r = monitor->Finish(10s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Finds(r.out, "\\d reply AA 04 80 FF 2D after Clear Screen")) << r.out;
    EXPECT_NE(r.out.find("frames: 2, bad checksums: 0, noise bytes: 0, incomplete: 0, replies: 1"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(port.Received(), "");
    EXPECT_EQ(replies.Received(), "");
}

// The round trip. The module's answers to five frames (a bad checksum, an unknown code, an SPI
// text among them) are taken by sending it the frames as they are; then the frames, noise and a
// frame cut off go into one tapped line and the answers into another, recorded by monitor
// --record. Played back, the recording puts the same frames before the module, in order, and
// meets every expectation; a module that answers otherwise fails them.
TEST_F(ModuleTest, ARecordingReplaysTheFramesAndExpectsTheirReplies) {
    const std::string frames[] = {"AA 04 80 00 2E", "AA 04 80 00 2F", "AA 04 90 00 3E",
                                  "AA 0A 86 00 0A 00 14 2A 48 49 13",
                                  "AA 09 8A 00 64 00 32 F8 00 CB"};
    StartModule();
    std::string reference;
    for (const std::string& frame : frames) {
        reference += "--raw=\"" + frame + "\"\n";
    }
    const auto play = [&](const std::filesystem::path& script, std::vector<std::string> options) {
        options.insert(options.begin(), {"play", script.string(), "--port=" + path, "--no-pulse"});
        return RunProcess(GLASSBENCH_CLI, options);
    };
    const std::size_t start = module->out().size();
    const ProcessResult sent = play(dir.Write("reference.gbs", reference), {});
    ASSERT_EQ(sent.exitCode, 0) << sent.out << sent.err;
    ASSERT_TRUE(module->WaitFor(" -> status ", 10s, 5)) << module->out();
    const std::string described = module->out().substr(start);

    TappedLine port, replies;
    const auto file = dir.path() / "recorded.gbs";
    Process monitor(GLASSBENCH_CLI, {"monitor", "--port=" + port.path, "--replies=" + replies.path,
                                     "--record=" + file.string()});
    ASSERT_TRUE(monitor.WaitFor(" baud\n", 10s)) << monitor.err();
    port.Write("01 02");
    for (std::string rest = sent.out; const std::string& frame : frames) {
        port.Write(frame);
        ASSERT_TRUE(monitor.WaitFor(" frame " + frame + ": ", 10s)) << monitor.out();
        const auto reply = Search(rest, "received: ([0-9A-F ]{14})\n");
        ASSERT_TRUE(reply);
        const std::string answer = (*reply)[1];
        rest = rest.substr(rest.find((*reply)[0]) + (*reply)[0].size());
        replies.Write(answer);
        ASSERT_TRUE(monitor.WaitFor(" reply " + answer, 10s)) << monitor.out();
    }
    port.Write("AA 09 8A");
    ASSERT_TRUE(monitor.WaitFor(" incomplete: AA 09 8A\n", 10s)) << monitor.out();
    monitor.Signal(SIGINT);
    EXPECT_EQ(monitor.Finish(10s).exitCode, 0);
    // What the frames and comments are, the replay below shows; the header is the rest.
    const std::string recording = TempDir::Read(file);
    EXPECT_TRUE(Finds(recording, "^# Recorded by glassbench-cli monitor on .*\n# frames on " +
                                     port.path + ", replies on " + replies.path +
                                     ", at 9600 baud\n"))
        << recording;
    EXPECT_EQ(CountOf(recording, "\n--raw="), 2) << recording;

    const auto junit = dir.path() / "recorded.xml";
    const std::size_t before = module->out().size();
    const ProcessResult played = play(file, {"--junit=" + junit.string()});
    EXPECT_EQ(played.exitCode, 0) << played.out << played.err;
    EXPECT_EQ(CountOf(played.out, "expect: ok\n"), 5) << played.out;
    EXPECT_TRUE(module->WaitFor(" -> status ", 10s, 10)) << module->out();
    EXPECT_EQ(module->out().substr(before), described);
    EXPECT_TRUE(Finds(TempDir::Read(junit), "recorded.gbs:\\d+ raw frame \\(90\\)\""))
        << TempDir::Read(junit);

    // Each answer carries the frame's number where the status was: 3 and 4 differ.
    path = (dir.path() / "numbering").string();
    StartModule({"--faults=1", "--fault-mix=normal:1"});
    const ProcessResult failed = play(file, {"--no-wait"});
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    EXPECT_NE(failed.out.find("played: 5 frames, 5 replies, 2 expectations failed\n"),
              std::string::npos)
        << failed.out;
}

}  // namespace
}  // namespace glassbench::testing
