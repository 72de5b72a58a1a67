#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameExamples.h"
#include "JsonCheck.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "TestHex.h"
#include "cli/Json.h"
#include "protocol/CommandTable.h"

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
        EXPECT_NE(r.err.find("\nUsage: glassbench-cli"), std::string::npos) << r.err;
    }
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--help"}, {"frame", "--help"}}) {
        const ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind("Usage: glassbench-cli", 0), 0u);
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

// Every worked example comes back as the frame it was built from: its command, its X and Y as
// 16-bit values, its data and a good checksum; the only problem is a data count the layout
// does not take.
TEST(DecodeCommand, WorkedExamplesComeBackFromTheirFrames) {
    std::vector<std::string> args{"decode", "--json"};
    for (const FrameExample& c : kFrameExamples) {
        args.emplace_back(c.frame);
    }
    const ProcessResult r = Cli(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto objects = ParseJsonLines(r.out);
    ASSERT_TRUE(objects) << r.out;
    ASSERT_EQ(objects->size(), kFrameExamples.size());
    for (std::size_t i = 0; i < objects->size(); ++i) {
        const FrameExample& c = kFrameExamples[i];
        const JsonValue& o = (*objects)[i];
        const auto& command = protocol::CommandTable[static_cast<std::size_t>(c.command)];
        EXPECT_EQ(o.Get("kind")->text, "frame");
        EXPECT_EQ(o.Get("hex")->text, c.frame);
        EXPECT_EQ(o.Get("command")->text, command.listText) << c.name;
        EXPECT_TRUE(o.Get("checksum_ok")->boolean) << c.name;
        const bool placed = protocol::HeaderLength(command.layout) > 3;
        ASSERT_EQ(o.Get("x") != nullptr, placed) << c.name;
        if (placed) {
            EXPECT_EQ(o.Get("x")->number, static_cast<std::uint16_t>(std::stol(c.x))) << c.name;
            EXPECT_EQ(o.Get("y")->number, static_cast<std::uint16_t>(std::stol(c.y))) << c.name;
        }
        const std::size_t count = Bytes(c.data).size();
        if (command.dataBytes < 0 && command.layout != protocol::FrameLayout::EditText) {
            EXPECT_EQ(o.Get("data")->text, Hex(Bytes(c.data))) << c.name;
        }
        const bool fits = command.dataBytes >= 0
                              ? count == static_cast<std::size_t>(command.dataBytes)
                              : command.layout != protocol::FrameLayout::EditText || count >= 5;
        const auto& problems = o.Get("problems")->items;
        ASSERT_EQ(problems.size(), fits ? 0u : 1u) << c.name;
        if (!fits) {
            EXPECT_EQ(problems[0].text.rfind(std::to_string(count) + " data byte", 0), 0u)
                << problems[0].text;
        }
    }
}

TEST(DecodeCommand, CutsNoiseFramesAndACutOffFrame) {
    const struct {
        std::string shell;  // what feeds standard input, if anything
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        // clang-format off
        {"", {"01 02 AA 04 80 00 2E AA 09 8A"},
         "noise: 01 02\nframe AA 04 80 00 2E: Clear Screen (80) data=[00] checksum=2E good, "
         "length 4 good\nincomplete: AA 09 8A\n"},
        {"", {"AA04", "90 00 3E", "AA 01"},
         "frame AA 04 90 00 3E: unknown command (90) data=[00] checksum=3E good\n"
         "frame AA 01: length 1 holds no command\n"},
        {"printf 'AA 03 80\\n2D\\r\\n55' | ", {},
         "frame AA 03 80 2D: Clear Screen (80) data=[] checksum=2D good, 0 data bytes where the "
         "command takes 1\nnoise: 55\n"},
        {"", {"--json", "01 AA 04 90 00 3F AA 0A 86 00 0A 00 14 2A 48 49 13 AA 09"},
         "{\"kind\":\"noise\",\"hex\":\"01\"}\n"
         "{\"kind\":\"frame\",\"hex\":\"AA 04 90 00 3F\",\"command\":null,\"id\":\"90\","
         "\"layout\":null,\"style\":null,\"data\":\"00\",\"checksum\":\"3F\","
         "\"checksum_ok\":false,\"problems\":[\"bad checksum (sum 3E)\",\"unknown command 90\"]}\n"
         "{\"kind\":\"frame\",\"hex\":\"AA 0A 86 00 0A 00 14 2A 48 49 13\","
         "\"command\":\"Ascii String Display\",\"id\":\"86\",\"layout\":\"Text\",\"x\":10,"
         "\"y\":20,\"style\":{\"byte\":\"2A\",\"form\":\"spi\",\"transparent\":true,"
         "\"font_size\":\"12x24\",\"characters\":2},\"data\":\"48 49\",\"checksum\":\"13\","
         "\"checksum_ok\":true,\"problems\":[]}\n"
         "{\"kind\":\"incomplete\",\"hex\":\"AA 09\"}\n"},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::string command = c.shell + "'" GLASSBENCH_CLI "' decode";
        for (const auto& arg : c.args) {
            command += " '" + arg + "'";
        }
        const ProcessResult r = RunProcess("/bin/sh", {"-c", command});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(ParseJsonLines(r.out) || c.out[0] != '{');
    }
}

TEST(TextEscape, EscapesWhatJsonAndXmlForbidAndReplacesWhatIsNoUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"Draw Point", "\"Draw Point\""},
        {"a\"b\\c/", "\"a\\\"b\\\\c/\""},
        {std::string("\n\r\t\x01\x1f\x7f\0", 7), "\"\\n\\r\\t\\u0001\\u001f\x7f\\u0000\""},
        {"\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"\xff", "\"\\ufffd\""},
        {"\xc3", "\"\\ufffd\""},                                   // cut short
        {"\xc0\x80", "\"\\ufffd\\ufffd\""},                        // overlong
        {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},             // a surrogate
        {"\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},  // above U+10FFFF
    };
    for (const auto& [text, json] : cases) {
        EXPECT_EQ(cli::JsonString(text), json);
        EXPECT_TRUE(JsonReader::Parse(json)) << json;
    }
    // XML: its five markup characters escaped; what XML 1.0 cannot carry becomes U+FFFD.
    const std::string kFffd = "\xef\xbf\xbd";
    EXPECT_EQ(cli::XmlText("a&b<c>\"'\xc3\xa9"), "a&amp;b&lt;c&gt;&quot;&apos;\xc3\xa9");
    EXPECT_EQ(cli::XmlText(std::string("\t\n\r\x01\0\xef\xbf\xbe\xff", 9)),
              "\t\n\r" + kFffd + kFffd + kFffd + kFffd);
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
