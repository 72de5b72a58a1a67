// The command line's plain logic, without running the program: the text escaping of the
// machine-readable outputs, the command table with the usage made from it, and the play scripts
// written from traffic.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "TestHex.h"
#include "cli/CommandLine.h"
#include "cli/CommandList.h"
#include "cli/PlayScript.h"
#include "cli/ScriptRecorder.h"
#include "cli/StreamDecoder.h"
#include "cli/TextEscape.h"

namespace glassbench::cli {
namespace {

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
        EXPECT_EQ(JsonString(text), json);
    }
    // XML: its five markup characters escaped; what XML 1.0 cannot carry becomes U+FFFD.
    const std::string kFffd = "\xef\xbf\xbd";
    EXPECT_EQ(XmlText("a&b<c>\"'\xc3\xa9"), "a&amp;b&lt;c&gt;&quot;&apos;\xc3\xa9");
    EXPECT_EQ(XmlText(std::string("\t\n\r\x01\0\xef\xbf\xbe\xff", 9)),
              "\t\n\r" + kFffd + kFffd + kFffd + kFffd);
}

// What help2man and the dispatcher rely on: an option name once per command, every option an
// item of the usage with its value's name and help, and no line wider than a terminal, since
// help2man would cut a wrapped line from its item.
TEST(CommandTable, EveryOptionIsOneItemOfTheUsageInLinesOf79Columns) {
    const std::string& usage = UsageText();
    std::istringstream lines(usage);
    std::set<std::string> items;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 79u) << line;
        if (line.rfind("  --", 0) == 0) {
            items.insert(line.substr(2, line.find("  ", 2) - 2));
        }
    }
    std::vector<const CommandSpec*> specs{&kScriptLine};
    for (const CommandSpec& command : kCommands) {
        specs.push_back(&command);
    }
    for (const CommandSpec* command : specs) {
        std::set<std::string_view> names;
        for (const Option& option : OptionsOf(*command)) {
            EXPECT_TRUE(names.insert(option.name).second) << command->name << " --" << option.name;
            EXPECT_EQ(option.TakesValue(), !option.valueName.empty()) << option.name;
            EXPECT_FALSE(option.help.empty()) << option.name;
            EXPECT_EQ(items.count(OptionSynopsis(option)), 1u) << OptionSynopsis(option);
        }
    }
}

using namespace std::chrono_literals;
using protocol::ScanEvent;

// Every rule of a recording in one run, fed as a monitor would feed it: comments in their place,
// the reply after its frame as --expect, a frame without one, a reply read after the next frame
// in the same wake-up (it goes to the open frame whose code it carries), the pause from a reply
// to the next frame's start, and lines held until the next frame settles them.
TEST(ScriptRecorder, WritesEachFrameWithItsReplyAndThePauseBeforeTheNext) {
    std::ostringstream out;
    const protocol::TimePoint t0{};
    ScriptRecorder recorder(out, true, t0);
    const auto frame = [&](const char* hex, auto from, auto at) {
        recorder.Piece({ScanEvent::Kind::Frame, testing::Bytes(hex), {}, 0, t0 + at, t0 + from},
                       t0 + at);
    };
    recorder.Comment("header");
    recorder.Piece({ScanEvent::Kind::Garbage, {0x01, 0x02}}, t0 + 2ms);
    recorder.Reply(testing::Bytes("AA 04 80 00 2E"), t0 + 2500us);
    frame("AA 04 80 00 2E", 3ms, 4ms);
    recorder.Reply(testing::Bytes("AA 04 80 00 2E"), t0 + 9ms);
    recorder.Settle();
    const std::string before =
        "# header\n# 0.002000 noise: 01 02\n"
        "# 0.002500 reply AA 04 80 00 2E follows no frame\n";
    EXPECT_EQ(out.str(), before);
    frame("AA 04 80 00 2F", 40ms, 41ms);
    recorder.Settle();
    frame("AA 0A 86 00 0A 00 14 2A 48 49 13", 45ms, 46ms);
    recorder.Reply(testing::Bytes("AA 04 86 00 34"), t0 + 47ms);
    recorder.Settle();
    recorder.Piece({ScanEvent::Kind::Dropped, testing::Bytes("AA 09 8A")}, t0 + 200ms);
    recorder.Finish();
    EXPECT_EQ(out.str(),
              before +
                  "--command=\"Clear Screen\" --data=00 --expect=\"AA 04 80 00 2E\" --wait-ms=31"
                  "  # 0.004000 Clear Screen (80) data=[00] checksum=2E good, length 4 good\n"
                  "--raw=\"AA 04 80 00 2F\"  # 0.041000 Clear Screen (80) data=[00] checksum=2F "
                  "bad (sum 2E), length 4 good; no reply\n"
                  "--command=\"Ascii String Display\" --x=10 --y=20 --font-size=1 --lcd-type=1 "
                  "--data=\"48 49\" --expect=\"AA 04 86 00 34\"  # 0.046000 Ascii String Display "
                  "(86) x=10 y=20 style=2A (spi chars=2 transparent=yes font=12x24) data=[48 49] "
                  "checksum=13 good, length 10 good\n"
                  "# 0.200000 incomplete: AA 09 8A\n");
}

// decode --script's lines send the frames they were decoded from, byte for byte, in order: as
// frame options where those build them, else raw; noise and a cut-off frame stay comments.
TEST(DecodeScript, ReplaysToTheSameBytes) {
    const std::string frames =
        "AA 04 80 00 2E AA 04 80 00 2F AA 04 90 00 3E AA 0A 86 00 0A 00 14 2A 48 49 13 AA 0E 9C 00 "
        "05 00 06 01 02 03 04 F1 41 42 DD AA 05 80 00 01 30 AA 07 8A FF FF 00 00 39 AA 03 84 31";
    const std::string args[] = {"decode", "--script", "01 " + frames, "AA 09 8A"};
    std::ostringstream out, err;
    ASSERT_EQ(RunCommandLine(args, out, err), 0) << err.str();
    std::istringstream script(out.str());
    PlayScriptReader reader(script);
    std::vector<std::uint8_t> replayed;
    while (const auto step = reader.Next()) {
        const auto bytes = WireBytes(step->frame);
        replayed.insert(replayed.end(), bytes.begin(), bytes.end());
    }
    ASSERT_EQ(reader.badLine(), 0) << reader.error() << "\n" << out.str();
    EXPECT_EQ(testing::Hex(replayed), frames) << out.str();
    EXPECT_EQ(out.str().rfind("# noise: 01\n", 0), 0u) << out.str();
}

// What decode prints of a text given in pieces, each piece taken in turn.
std::string Decoded(StreamDecoder::Form form, bool lineEnds, std::size_t noisePart,
                    const std::vector<std::string_view>& pieces) {
    std::ostringstream out;
    StreamDecoder decoder(out, form, lineEnds, noisePart);
    for (const std::string_view piece : pieces) {
        if (!decoder.Take(piece)) {
            break;
        }
    }
    decoder.Finish();
    return out.str();
}

// The text in pieces prints what the whole text prints, in every form, wherever it is cut: every
// cut into three pieces, and one character at a time. Noise is taken from the scanner in parts
// of 3 bytes and of the usual size alike, and comes out the same.
TEST(StreamDecoder, AnyCutOfTheTextPrintsWhatTheWholeTextPrints) {
    using Form = StreamDecoder::Form;
    const struct {
        std::string text;
        bool lineEnds;    // standard input's: CR and LF are blanks
        const char* out;  // as text
    } cases[] = {
        // clang-format off
        {"01 02 AA 04 80 00 2E AA 09 8A", false,
         "noise: 01 02\nframe AA 04 80 00 2E: Clear Screen (80) data=[00] checksum=2E good, "
         "length 4 good\nincomplete: AA 09 8A\n"},
        {"AA 03 80\n2D\r\n55 0", true,
         "frame AA 03 80 2D: Clear Screen (80) data=[] checksum=2D good, 0 data bytes where the "
         "command takes 1\nnoise: 55 FF\n"},
        // As arguments, a line end is a character of a pair: "\n5" is F5.
        {"11\n5 AA01 0102030405060708", false,
         "noise: 11 F5\nframe AA 01: length 1 holds no command\nnoise: 01 02 03 04 05 06 07 08\n"},
        {std::string("AA 04 80 00 2E 11 22") + '\0' + " AA 04 81", true,
         "frame AA 04 80 00 2E: Clear Screen (80) data=[00] checksum=2E good, length 4 good\n"
         "noise: 11 22\n"},
        {"0A 0B 0C 0D 0E 0F AA 0A 86 00 0A 00 14 2A 48 49 13 AA", true,
         "noise: 0A 0B 0C 0D 0E 0F\nframe AA 0A 86 00 0A 00 14 2A 48 49 13: Ascii String Display "
         "(86) x=10 y=20 style=2A (spi chars=2 transparent=yes font=12x24) data=[48 49] "
         "checksum=13 good, length 10 good\nincomplete: AA\n"},
        // clang-format on
    };
    for (const auto& c : cases) {
        const std::string_view text = c.text;
        for (const Form form : {Form::Text, Form::Json, Form::Script}) {
            for (const std::size_t noisePart : {std::size_t{3}, StreamDecoder::kNoisePart}) {
                const std::string whole = Decoded(form, c.lineEnds, noisePart, {text});
                if (form == Form::Text) {
                    EXPECT_EQ(whole, c.out) << text;
                }
                std::vector<std::string_view> characters;
                for (std::size_t i = 0; i < text.size(); ++i) {
                    characters.push_back(text.substr(i, 1));
                }
                EXPECT_EQ(Decoded(form, c.lineEnds, noisePart, characters), whole) << text;
                for (std::size_t i = 0; i <= text.size(); ++i) {
                    for (std::size_t j = i; j <= text.size(); ++j) {
                        EXPECT_EQ(
                            Decoded(form, c.lineEnds, noisePart,
                                    {text.substr(0, i), text.substr(i, j - i), text.substr(j)}),
                            whole)
                            << text << " cut at " << i << " and " << j;
                    }
                }
            }
        }
    }
}

// A run of noise longer than decode holds is still one line, in every form: its head, the hex
// of each part taken from the scanner in turn, and its tail.
TEST(StreamDecoder, ALongRunOfNoiseIsOneLineInEveryForm) {
    using Form = StreamDecoder::Form;
    const std::pair<Form, const char*> cases[] = {
        {Form::Text, "noise: 01 02 03 04 05 06 07\nincomplete: AA 04 80\n"},
        {Form::Json,
         "{\"kind\":\"noise\",\"hex\":\"01 02 03 04 05 06 07\"}\n"
         "{\"kind\":\"incomplete\",\"hex\":\"AA 04 80\"}\n"},
        {Form::Script, "# noise: 01 02 03 04 05 06 07\n# incomplete: AA 04 80\n"},
    };
    for (const auto& [form, expected] : cases) {
        EXPECT_EQ(Decoded(form, true, 2, {"01 02 03 04 05 06 07 AA 04 80"}), expected);
        // A run that comes byte by byte, with the start byte that ends it in a piece of its own.
        EXPECT_EQ(Decoded(form, true, 2, {"01 02", " 03 0", "4 05", " 06 07", " AA", " 04 80"}),
                  expected);
    }
    // One of the usual size and more, through the scanner in several parts.
    std::string run;
    for (std::size_t i = 0; i < 3 * StreamDecoder::kNoisePart; ++i) {
        run += i == 0 ? "00" : " 00";
    }
    EXPECT_EQ(Decoded(Form::Text, false, StreamDecoder::kNoisePart, {run}), "noise: " + run + "\n");
}

}  // namespace
}  // namespace glassbench::cli
