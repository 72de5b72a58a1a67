// glassbench-cli play against the virtual module: the shipped demo, a failed expectation with
// its JUnit report, scripts that must stop before anything is sent, and a pause skipped or
// stopped.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>

#include "ModuleFixture.h"
#include "RunProcess.h"
#include "TextMatch.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;

class PlayTest : public ModuleTest {
  protected:
    ProcessResult Play(const std::string& script, std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"play", script, "--port=" + path, "--no-pulse"});
        return RunProcess(GLASSBENCH_CLI, options);
    }
};

TEST_F(PlayTest, TheDemoMeetsEveryExpectationOfTheModule) {
    StartModule();
    const auto junit = dir.path() / "demo.xml";
    const ProcessResult r = Play(GLASSBENCH_DEMO_SCRIPT, {"--junit=" + junit.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(Matches(r.out,
                        "(sent: AA [0-9A-F ]+\nreceived: AA 04 [0-9A-F]{2} 00 [0-9A-F]{2}\n"
                        "expect: ok\n){8}played: 8 frames, 8 replies, 0 expectations failed\n"))
        << r.out;
    EXPECT_TRUE(module->WaitFor("-> status 0\n", 10s, 8)) << module->out();
    const std::string report = TempDir::Read(junit);
    EXPECT_EQ(CountOf(report, "<testcase "), 8) << report;
    EXPECT_NE(report.find("tests=\"8\" failures=\"0\" errors=\"0\" skipped=\"0\""),
              std::string::npos);
    EXPECT_NE(report.find("demo.gbs:8 Clear Screen\""), std::string::npos) << report;
}

// Every quoting form of the shell, a comment after the options; an expectation that fails, and
// its report under a script name XML must escape.
TEST_F(PlayTest, AFailedExpectationExitsOneAndFailsItsTestCase) {
    StartModule();
    const auto script = dir.Write("a&b<c>'d\".gbs",
                                  "--command=0 --data=00 --expect=\"AA 04 80 01 ??\"\n"
                                  "--command=Draw\\ Point --x='1'0 --y=\"2\\\"\" "
                                  "--data=\"F8\"' 00' # a red point\n");
    const auto junit = dir.path() / "report.xml";
    const ProcessResult r = Play(script.string(), {"--junit", junit.string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out,
              "sent: AA 04 80 00 2E\nreceived: AA 04 80 00 2E\n"
              "expect: FAIL (wanted AA 04 80 01 ??, got AA 04 80 00 2E)\n"
              "sent: AA 09 8A 00 0A 00 02 F8 00 41\nreceived: AA 04 8A 00 38\n"
              "played: 2 frames, 2 replies, 1 expectations failed\n");
    const std::string report = TempDir::Read(junit);
    EXPECT_NE(report.find("tests=\"2\" failures=\"1\""), std::string::npos) << report;
    EXPECT_NE(report.find("a&amp;b&lt;c&gt;&apos;d&quot;.gbs:1 Clear Screen\""), std::string::npos)
        << report;
    EXPECT_NE(report.find("<failure message=\"expectation failed: wanted AA 04 80 01 ??, got AA "
                          "04 80 00 2E\">"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("<c>"), std::string::npos);
    // The cases went to a part beside the report while the script played; it is gone.
    EXPECT_FALSE(std::filesystem::exists(junit.string() + ".part"));
}

TEST_F(PlayTest, ABadLineStopsTheScriptBeforeTheModuleSeesAFrame) {
    StartModule();
    const std::pair<const char*, const char*> cases[] = {
        {"--command=\"Draw Point --x=1", "a double quote is not closed"},
        {"--command='Draw", "a single quote is not closed"},
        {"--x=1 \\", "the line ends in a backslash"},
        {"--colour=red", "unknown option --colour"},
        {"Draw Point", "'Draw' is no option"},
        {"--command=\"Draw Spiral\"", "--command 'Draw Spiral' names no command"},
        {"--expect=\"AA 04 80 00\"", "--expect 'AA 04 80 00' is not 5 bytes as hex pairs or ??"},
        {"--expect=AA0480002G", "--expect 'AA0480002G' is not 5 bytes as hex pairs or ??"},
        {"--wait-ms=-1", "--wait-ms '-1' is not 0 to 3600000 milliseconds"},
        {"--raw=AA0480002E --data=00", "--raw and --data do not go together"},
    };
    for (const auto& [line, reason] : cases) {
        const auto script = dir.Write("bad.gbs", std::string("--data=00\r\n\n# next\n") + line);
        const ProcessResult r = Play(script.string());
        EXPECT_EQ(r.exitCode, 2) << line;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "glassbench-cli: " + script.string() + ":4: " + reason + "\n");
    }
    // The first frame the module sees is this one.
    EXPECT_EQ(Send({"--no-pulse"}).exitCode, 0);
    ASSERT_TRUE(module->WaitFor("-> status", 10s)) << module->out();
    EXPECT_EQ(CountOf(module->out(), "-> status"), 1) << module->out();
}

// A script that cannot be read twice, from a pipe through /dev/stdin, is held and checked whole
// before anything is sent, as a file is: a bad second line stops it before the first goes out,
// and a good script plays every line.
TEST_F(PlayTest, AScriptFromAPipeIsCheckedWholeBeforeAnythingIsSent) {
    StartModule();
    const struct {
        const char* script;
        int exitCode;
        const char* err;
    } cases[] = {
        {"--data=00\n--colour=red\n", 2, "glassbench-cli: /dev/stdin:2: unknown option --colour\n"},
        {"--data=00 --expect=\"AA 04 80 00 2E\"\n# a comment\n--command=\"Set LCD Brightness\" "
         "--data=05\n",
         0, ""},
    };
    for (const auto& c : cases) {
        Process play(GLASSBENCH_CLI, {"play", "/dev/stdin", "--port=" + path, "--no-pulse"}, {}, {},
                     true);
        ASSERT_TRUE(play.Write(c.script, 10s));
        const ProcessResult r = play.Finish(10s);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(CountOf(r.out, "sent: "), c.exitCode == 0 ? 2 : 0) << r.out;
    }
    // The module saw the good script's two frames and nothing of the bad one.
    EXPECT_TRUE(module->WaitFor("-> status", 10s, 2)) << module->out();
    EXPECT_TRUE(module->WaitFor("Set LCD Brightness", 10s)) << module->out();
    EXPECT_EQ(CountOf(module->out(), "-> status"), 2) << module->out();
}

// --no-wait skips the pause; without it a stop request ends the pause at once.
TEST_F(PlayTest, NoWaitSkipsAPauseAndAStopSignalEndsOneAtOnce) {
    StartModule();
    const auto script = dir.Write("pause.gbs", "--data=00 --wait-ms=600000\n--data=00\n");
    EXPECT_EQ(Play(script.string(), {"--no-wait"}).exitCode, 0);  // both replies, no pause
    const auto junit = dir.path() / "report.xml";
    Process play(GLASSBENCH_CLI, {"play", script.string(), "--port=" + path, "--no-pulse",
                                  "--junit=" + junit.string()});
    ASSERT_TRUE(play.WaitFor("received: ", 10s)) << play.err();
    play.Signal(SIGTERM);
    const ProcessResult r = play.Finish(10s);
    EXPECT_EQ(r.exitCode, 128 + SIGTERM);
    EXPECT_EQ(r.err, "glassbench-cli: stopped by signal " + std::to_string(SIGTERM) + "\n");
    EXPECT_EQ(r.out,
              "sent: AA 04 80 00 2E\nreceived: AA 04 80 00 2E\n"
              "played: 1 frames, 1 replies, 0 expectations failed, 1 not tried\n");
    EXPECT_NE(TempDir::Read(junit).find("tests=\"2\" failures=\"0\" errors=\"0\" skipped=\"1\""),
              std::string::npos);
}

}  // namespace
}  // namespace glassbench::testing
