#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameExamples.h"
#include "RunProcess.h"
#include "TempDir.h"

namespace glassbench::testing {
namespace {

ProcessResult Cli(const std::vector<std::string>& args, const std::filesystem::path& cwd = {}) {
    static const CliUnderTest cli(GLASSBENCH_CLI);
    return cli.Run(args, cwd);
}

std::string FrameOutput(const char* frame, const char* transcript, const char* lengh,
                        const char* checksum) {
    return std::string("frame: ") + frame + "\ntranscript: " + transcript + "\nlengh: " + lengh +
           "\nchecksum: " + checksum + "\n";
}

TEST(FrameCommand, PrintsEveryWorkedExample) {
    for (const FrameExample& c : kFrameExamples) {
        const ProcessResult r =
            Cli({"frame", "--command=" + std::to_string(c.command), std::string("--x=") + c.x,
                 std::string("--y=") + c.y, std::string("--data=") + c.data,
                 "--transparent=" + std::to_string(c.transparent),
                 "--font-size=" + std::to_string(c.fontSize),
                 "--lcd-type=" + std::to_string(c.lcdType)});
        EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, FrameOutput(c.frame, c.transcript, c.lengh, c.checksum)) << c.name;
    }
}

TEST(FrameCommand, AcceptsEveryOptionFormAndNamesCommandsByText) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"frame"}, "AA 04 80 00 2E"},  // the window's start-up state
        {{"frame", "--command", "Draw Point", "--x", "-1", "--y=65536", "--data", ""},
         "AA 07 8A FF FF 00 00 39"},
        {{"frame", "--command=DrawPoint", "--data", "--x"}, "AA 09 8A 00 00 00 00 EF EF 1B"},
        {{"frame", "--command=SetBGColor", "--data=F8 00"}, "AA 05 81 F8 00 28"},
    };
    for (const auto& [args, frame] : cases) {
        const ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), std::string("frame: ") + frame);
    }
}

TEST(Cli, BadUsageExitsTwoWithAReasonAndTheUsage) {
    const std::vector<std::string> cases[] = {
        {},
        {"fram"},
        {"frame", "--colour=1"},
        {"frame", "--data"},
        {"frame", "--command=Draw Spiral"},
        {"frame", "--command=20"},
        {"frame", "--command=-1"},
        {"frame", "--font-size=big"},
        {"frame", "--lcd-type=1x"},
        {"frame", "--help=yes"},
        {"frame", "extra"},
        {"preset"},
        {"preset", "Nothing"},
        {"preset", "--x=1", "0"},
    };
    for (const auto& args : cases) {
        const ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("glassbench-cli: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("\nusage: glassbench-cli"), std::string::npos) << r.err;
    }
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--help"}, {"frame", "--help"}}) {
        const ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind("usage: glassbench-cli", 0), 0u);
    }
    EXPECT_EQ(Cli({"--version"}).out, std::string("glassbench-cli ") + GLASSBENCH_VERSION + "\n");
}

// A Windows program gets one command line that its C runtime splits again: quotes,
// backslashes and wildcards must come through as they were given.
TEST(Cli, ArgumentsArriveVerbatim) {
    for (const std::string arg : {"", " ", "\t", "a b", "\"", "\"a b\"", "\\", "a\\\\\"b", "\\\\\"",
                                  "'x'", "*", "?*.md", "%PATH%", "^&|<>", "C:\\x"}) {
        const ProcessResult r = Cli({"frame", "--command", arg});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
                  "glassbench-cli: --command '" + arg + "' names no command");
    }
}

TEST(PresetCommand, PrintsTheSectionFromTheCurrentDirectory) {
    TempDir dir;
    dir.Write("Scom.ini",
              "; presets for the bench\r\n[DrawLine]\r\nLENGH = 9\r\nXADDRESS=10\r\n"
              "DATA=00 10 00 20\r\n[ClearScreen]\nDATA=00\n");
    const std::string drawLine =
        "[DrawLine]\nLENGH=9\nCMD=ClearScreen\nXADDRESS=10\nYADDRESS=0\nTRANSPRENT=0\n"
        "FONTTYPE=0\nDATA=00 10 00 20\nCHECKSUM=0\n";
    const std::string clear =
        "[ClearScreen]\nLENGH=4\nCMD=ClearScreen\nXADDRESS=0\nYADDRESS=0\nTRANSPRENT=0\n"
        "FONTTYPE=0\nDATA=00\nCHECKSUM=0\n";
    // Any index outside the list, -1 among them, reads ClearScreen.
    const std::pair<const char*, const std::string*> cases[] = {
        {"Draw Line", &drawLine}, {"11", &drawLine}, {"DrawLine", &drawLine},
        {"-1", &clear},           {"20", &clear},    {"-2147483648", &clear}};
    for (const auto& [name, expected] : cases) {
        const ProcessResult r = Cli({"preset", name}, dir.path());
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out, *expected) << name;
    }
}

}  // namespace
}  // namespace glassbench::testing
