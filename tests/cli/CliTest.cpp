#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunProcess.h"
#include "TempDir.h"

namespace glassbench::testing {
namespace {

ProcessResult Cli(const std::vector<std::string>& args, const std::filesystem::path& cwd = {}) {
    return RunProcess(GLASSBENCH_CLI, args, cwd);
}

struct FrameCase {
    const char* name;
    std::vector<std::string> args;
    const char* output;
};

class FrameCommandTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameCommandTest, PrintsFrameTranscriptLenghAndChecksum) {
    const FrameCase& c = GetParam();
    std::vector<std::string> args{"frame"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = Cli(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.output);
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FrameCommandTest,
    ::testing::Values(
        FrameCase{"Defaults",
                  {},
                  "frame: AA 04 80 00 2E\ntranscript: AA 04 80 00 2E\nlengh: 4\nchecksum: 2e\n"},
        FrameCase{"DefaultsSpi",
                  {"--lcd-type=1"},
                  "frame: AA 04 80 00 2E\ntranscript: 80 00\nlengh: 4\nchecksum: 2e\n"},
        FrameCase{"DefaultsI2c",
                  {"--lcd-type", "2"},
                  "frame: AA 04 80 00 2E\ntranscript: 80 00\nlengh: 4\nchecksum: 2e\n"},
        FrameCase{
            "AsciiStringSpiByIndex",
            {"--command=6", "--x=10", "--y=20", "--font-size=1", "--data=48 49", "--lcd-type=1"},
            "frame: AA 0A 86 00 0A 00 14 2A 48 49 13\n"
            "transcript: 86 00 0A 00 14 2A 48 49\nlengh: a\nchecksum: 13\n"},
        FrameCase{"AsciiStringUartByListText",
                  {"--command", "Ascii String Display", "--x", "10", "--y", "20", "--font-size",
                   "1", "--data", "48 49"},
                  "frame: AA 0A 86 00 0A 00 14 F2 48 49 DB\n"
                  "transcript: AA 0A 86 00 0A 00 14 F2 48 49 DB\nlengh: a\nchecksum: db\n"},
        FrameCase{"BySectionName",
                  {"--command=SetBGColor", "--data=F8 00"},
                  "frame: AA 05 81 F8 00 28\ntranscript: AA 05 81 F8 00 28\nlengh: 5\n"
                  "checksum: 28\n"},
        FrameCase{"ChineseStringSpi",
                  {"--command=8", "--lcd-type=1", "--transparent=1", "--font-size=3",
                   "--data=B0 A1 B0 A2"},
                  "frame: AA 0C 88 00 00 00 00 24 B0 A1 B0 A2 05\n"
                  "transcript: 88 00 00 00 00 24 B0 A1 B0 A2\nlengh: c\nchecksum: 5\n"},
        FrameCase{"EditChineseSpi",
                  {"--command=Draw Edit Chinese String", "--x=5", "--y=6", "--lcd-type=1",
                   "--transparent=1", "--font-size=2", "--data=01 02 03 04 00 B0 A1"},
                  "frame: AA 0E 9D 00 05 00 06 01 02 03 04 13 B0 A1 CE\n"
                  "transcript: 9D 00 05 00 06 01 02 03 04 13 B0 A1\nlengh: e\nchecksum: ce\n"},
        FrameCase{"ValuesBeginningWithDashAreVerbatim",
                  {"--command=DrawPoint", "--x", "-1", "--y=65536", "--data", ""},
                  "frame: AA 07 8A FF FF 00 00 39\ntranscript: AA 07 8A FF FF 00 00 39\n"
                  "lengh: 7\nchecksum: 39\n"},
        FrameCase{"DataThatLooksLikeAnOption",
                  {"--command=10", "--data", "--x"},
                  "frame: AA 09 8A 00 00 00 00 EF EF 1B\n"
                  "transcript: AA 09 8A 00 00 00 00 EF EF 1B\nlengh: 9\nchecksum: 1b\n"},
        FrameCase{
            "NoSelections",
            {"--command=5", "--transparent=-1", "--font-size=-1", "--lcd-type=-1", "--data=41"},
            "frame: AA 09 85 00 00 00 00 00 41 79\n"
            "transcript: AA 09 85 00 00 00 00 00 41 79\nlengh: 9\nchecksum: 79\n"},
        FrameCase{"FixedLayoutShortData",
                  {"--command=3", "--data="},
                  "frame: AA 03 83 30\ntranscript: AA 03 83 30\nlengh: 3\nchecksum: 30\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
};

class UsageErrorTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrorTest, ExitsTwoWithOneLineReasonAndUsage) {
    const ProcessResult r = Cli(GetParam().args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("glassbench-cli: ", 0), 0u) << r.err;
    const auto firstLineEnd = r.err.find('\n');
    ASSERT_NE(firstLineEnd, std::string::npos);
    EXPECT_NE(r.err.find("usage: glassbench-cli", firstLineEnd), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    BadUsage, UsageErrorTest,
    ::testing::Values(UsageCase{"NoCommand", {}}, UsageCase{"UnknownCommand", {"fram"}},
                      UsageCase{"UnknownOption", {"frame", "--colour=1"}},
                      UsageCase{"MissingValue", {"frame", "--data"}},
                      UsageCase{"CommandNamesNothing", {"frame", "--command=Draw Spiral"}},
                      UsageCase{"CommandIndexTooLarge", {"frame", "--command=20"}},
                      UsageCase{"CommandIndexNegative", {"frame", "--command=-1"}},
                      UsageCase{"IndexNotAnInteger", {"frame", "--font-size=big"}},
                      UsageCase{"IndexWithJunk", {"frame", "--lcd-type=1x"}},
                      UsageCase{"FlagGivenAValue", {"frame", "--help=yes"}},
                      UsageCase{"StrayArgument", {"frame", "extra"}},
                      UsageCase{"PresetWithoutCommand", {"preset"}},
                      UsageCase{"PresetNamesNothing", {"preset", "Nothing"}},
                      UsageCase{"PresetUnknownOption", {"preset", "--x=1", "0"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cli, HelpAndVersion) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"frame", "--help"}, {"preset", "--help"}}) {
        const ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind("usage: glassbench-cli", 0), 0u) << r.out;
    }
    const ProcessResult v = Cli({"--version"});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out, std::string("glassbench-cli ") + GLASSBENCH_VERSION + "\n");
}

TEST(PresetCommand, PrintsTheSectionFromTheCurrentDirectory) {
    TempDir dir;
    dir.Write("Scom.ini",
              "; presets for the bench\r\n[DrawLine]\r\nLENGH = 9\r\nXADDRESS=10\r\n"
              "DATA=00 10 00 20\r\n");
    const ProcessResult r = Cli({"preset", "Draw Line"}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "[DrawLine]\nLENGH=9\nCMD=ClearScreen\nXADDRESS=10\nYADDRESS=0\nTRANSPRENT=0\n"
              "FONTTYPE=0\nDATA=00 10 00 20\nCHECKSUM=0\n");
    EXPECT_EQ(Cli({"preset", "11"}, dir.path()).out, r.out);
    EXPECT_EQ(Cli({"preset", "DrawLine"}, dir.path()).out, r.out);
}

TEST(PresetCommand, AnyIndexOutsideTheListReadsClearScreen) {
    TempDir dir;
    dir.Write("SCOM.INI", "[ClearScreen]\nDATA=00\nCMD=Clear\n");
    const std::string expected =
        "[ClearScreen]\nLENGH=4\nCMD=Clear\nXADDRESS=0\nYADDRESS=0\nTRANSPRENT=0\n"
        "FONTTYPE=0\nDATA=00\nCHECKSUM=0\n";
    for (const char* index : {"-1", "20", "0", "-2147483648"}) {
        const ProcessResult r = Cli({"preset", index}, dir.path());
        EXPECT_EQ(r.exitCode, 0) << index << ": " << r.err;
        EXPECT_EQ(r.out, expected) << index;
    }
}

}  // namespace
}  // namespace glassbench::testing
