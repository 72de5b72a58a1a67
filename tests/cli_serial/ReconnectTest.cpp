// A lost port waited for and opened again: the virtual module killed and started again at its
// link (a power-cycled module), and ser2net stopped and started again on its port. With
// --reconnect the run goes on with the next frame, each frame after the return answered and
// the one the loss broke counted as failed; monitor waits by default; Ctrl+C ends a wait at
// once. The CLI under test may be the Windows build under Wine, whose COM port is the module's
// link as Wine opens it.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "JsonLines.h"
#include "ModuleFixture.h"
#include "Ser2net.h"
#include "TempDir.h"
#include "TextMatch.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;

const std::string kReply = "received: AA 04 80 00 2E\n";

class ReconnectTest : public ModuleTest {
  protected:
    // The module gone for good: killed, as a power cut takes it.
    void CutModule() {
        module->Signal(SIGKILL);
        module->Finish();
    }
};

TEST_F(ReconnectTest, SendGoesOnWithTheNextFrameOnceThePortIsBack) {
    StartModule();
    auto send = Cli().Start(
        {"send", "--port=" + path, "--no-pulse", "--repeat=8", "--interval=50", "--reconnect=60"});
    ASSERT_TRUE(send->WaitFor(kReply, 20s, 2)) << send->err();
    CutModule();
    // The exchange the loss broke, shown as what it was; then the module is back.
    ASSERT_TRUE(send->WaitFor(" none (", 20s)) << send->out() << send->err();
    StartModule();
    const ProcessResult r = send->Finish(60s);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;  // the broken exchange failed
    EXPECT_EQ(CountOf(r.out, kReply), 7) << r.out;
    EXPECT_EQ(CountOf(r.out, " none ("), 1) << r.out;
    EXPECT_TRUE(Matches(r.err, "port " + path + " gone \\(.+\\); waiting for " + path +
                                   "\nport back as " + path + " after [0-9]+\\.[0-9] s\n"))
        << r.err;
}

TEST_F(ReconnectTest, CtrlCEndsTheWaitAtOnce) {
    StartModule();
    auto send = Cli().Start(
        {"send", "--port=" + path, "--no-pulse", "--repeat=8", "--interval=50", "--reconnect"});
    ASSERT_TRUE(send->WaitFor(kReply, 20s)) << send->err();
    CutModule();
    ASSERT_TRUE(send->WaitFor(" none (", 20s)) << send->out() << send->err();
    send->Signal(SIGINT);
    const ProcessResult r = send->Finish(10s);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_NE(r.err.find("; waiting for " + path + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(", not tried: "), std::string::npos) << r.out;
}

// A module power-cycled in the middle of a script: with --reconnect the line it broke fails
// and the rest play; without, the rest are not tried, each a skipped case in the report.
TEST_F(ReconnectTest, PlayGoesOnOrStopsAtALostPort) {
    std::string lines;
    for (int i = 0; i < 6; ++i) {
        lines += "--data=00 --expect=\"AA 04 80 00 2E\"\n";
    }
    const auto script = dir.Write("six.gbs", lines).string();
    const auto junit = (dir.path() / "report.xml").string();
    for (const bool reconnect : {true, false}) {
        SCOPED_TRACE(reconnect ? "--reconnect" : "without --reconnect");
        StartModule();
        std::vector<std::string> args{"play",       script,          "--port=" + path,
                                      "--no-pulse", "--interval=50", "--junit=" + junit};
        if (reconnect) {
            args.emplace_back("--reconnect=60");
        }
        auto play = Cli().Start(args);
        ASSERT_TRUE(play->WaitFor(kReply, 20s, 2)) << play->err();
        CutModule();
        ASSERT_TRUE(play->WaitFor(" none (", 20s)) << play->out() << play->err();
        if (reconnect) {
            StartModule();
        }
        const ProcessResult r = play->Finish(60s);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        const int replies = CountOf(r.out, kReply);
        const std::string report = TempDir::Read(junit);
        EXPECT_NE(report.find("port lost: "), std::string::npos) << report;
        if (reconnect) {
            EXPECT_EQ(replies, 5) << r.out;
            EXPECT_NE(r.out.find("played: 6 frames, 5 replies, 1 expectations failed\n"),
                      std::string::npos)
                << r.out;
            EXPECT_NE(report.find("skipped=\"0\""), std::string::npos) << report;
        } else {
            const int untried = 6 - replies - 1;
            EXPECT_NE(r.out.find(", " + std::to_string(untried) + " not tried\n"),
                      std::string::npos)
                << r.out;
            EXPECT_NE(report.find("skipped=\"" + std::to_string(untried) + "\""), std::string::npos)
                << report;
            // The system's own words: Input/output error, Not ready under Wine.
            EXPECT_TRUE(Matches(r.err, "port " + path + " gone \\(.+\\)\n")) << r.err;
        }
    }
}

// monitor waits for a lost line by default, and says so as objects of their own in --json.
TEST_F(ReconnectTest, MonitorWaitsForALostLineAndGoesOn) {
    StartModule();
    auto monitor = Cli().Start({"monitor", "--json", "--port=" + path});
    ASSERT_TRUE(monitor->WaitFor("\"kind\":\"start\"", 20s)) << monitor->err();
    CutModule();
    ASSERT_TRUE(monitor->WaitFor("\"kind\":\"port_gone\"", 20s)) << monitor->err();
    StartModule();
    ASSERT_TRUE(monitor->WaitFor("\"kind\":\"port_back\"", 60s)) << monitor->err();
    monitor->Signal(SIGINT);
    const ProcessResult r = monitor->Finish(10s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        JsonLinesCheck(
            r.out, {"[o['kind'] for o in lines] == ['start', 'port_gone', 'port_back', "
                    "'summary']",
                    "lines[1]['port'] == lines[2]['port'] == lines[2]['device'] == '" + path + "'",
                    "lines[1]['waiting_for'] == '" + path + "'",
                    "lines[2]['after'] >= 0 and lines[2]['t'] >= lines[1]['t']"}),
        "")
        << r.out;
}

// ser2net stopped and started again on its port: the connection is lost with it, and found
// again once ser2net is back.
TEST_F(ReconnectTest, ANetworkPortIsConnectedAgainWhenItsServerIsBack) {
    StartModule();
    auto server = std::make_unique<Ser2net>(path, "rfc2217");
    ASSERT_FALSE(server->Name().empty()) << server->Error();
    const std::string name = server->Name();
    auto send = Cli().Start(
        {"send", "--port=" + name, "--no-pulse", "--repeat=6", "--interval=50", "--reconnect=60"});
    ASSERT_TRUE(send->WaitFor(kReply, 20s, 2)) << send->err();
    server.reset();
    ASSERT_TRUE(send->WaitFor(" none (", 20s)) << send->out() << send->err();
    server = std::make_unique<Ser2net>(path, "rfc2217", name.substr(name.rfind(':') + 1));
    ASSERT_EQ(server->Name(), name) << server->Error();
    const ProcessResult r = send->Finish(60s);
    EXPECT_EQ(CountOf(r.out, kReply), 5) << r.out << r.err;
    EXPECT_EQ(CountOf(r.out, " none ("), 1) << r.out;
    EXPECT_NE(r.err.find("port back as " + name + " after "), std::string::npos) << r.err;
}

}  // namespace
}  // namespace glassbench::testing
