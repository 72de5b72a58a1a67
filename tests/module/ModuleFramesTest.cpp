// The virtual module's frame finding, checks, replies and decoded lines.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "TestHex.h"
#include "module/ModuleFrames.h"
#include "protocol/CommandFrame.h"

namespace glassbench::module {
namespace {

using namespace std::chrono_literals;
using glassbench::testing::Hex;
using HexBytes = std::vector<std::uint8_t>;

HexBytes B(const std::string& hex) {
    return glassbench::testing::Bytes(hex);
}

// ---- checks ----------------------------------------------------------------------------

struct CheckCase {
    const char* name;
    const char* frame;
    ReplyStatus status;
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.name;
}

class CheckFrameTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckFrameTest, StatusOfAFrame) {
    EXPECT_EQ(CheckFrame(B(GetParam().frame)), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, CheckFrameTest,
    ::testing::Values(
        CheckCase{"ClearScreen", "AA 04 80 00 2E", ReplyStatus::Good},
        CheckCase{"SetBackground", "AA 05 81 F8 00 28", ReplyStatus::Good},
        CheckCase{"Brightness", "AA 04 83 05 36", ReplyStatus::Good},
        CheckCase{"AsciiDisplay", "AA 09 85 00 0A 00 14 F1 41 88", ReplyStatus::Good},
        CheckCase{"DrawBox", "AA 09 9A 01 40 00 F0 01 02 81", ReplyStatus::Good},
        CheckCase{"DrawPointNoData", "AA 07 8A FF FF 00 00 39", ReplyStatus::Good},
        CheckCase{"EditAscii", "AA 0E 9C 00 05 00 06 01 02 03 04 F1 41 42 DD", ReplyStatus::Good},
        // The window sends a fixed layout with more data bytes zero-filled: the fields the
        // module needs are there.
        CheckCase{"ClearWithTwoDataBytes", "AA 05 80 00 00 2F", ReplyStatus::Good},
        CheckCase{"BadChecksum", "AA 04 80 00 2F", ReplyStatus::BadChecksum},
        CheckCase{"CorruptedCommandFailsTheChecksumFirst", "AA 04 90 00 2E",
                  ReplyStatus::BadChecksum},
        CheckCase{"GapInCodes", "AA 04 90 00 3E", ReplyStatus::UnknownCommand},
        CheckCase{"NoCommand", "AA 03 63 10", ReplyStatus::UnknownCommand},
        // Fewer bytes than the layout's fields.
        CheckCase{"BackgroundWithOneByte", "AA 04 81 F8 27", ReplyStatus::BadLength},
        CheckCase{"ClearWithoutItsByte", "AA 03 80 2D", ReplyStatus::BadLength},
        CheckCase{"GlyphWithoutStyle", "AA 07 85 00 00 00 00 36", ReplyStatus::BadLength},
        CheckCase{"ShapeWithoutY", "AA 05 8A 00 00 39", ReplyStatus::BadLength}),
    [](const auto& info) { return info.param.name; });

TEST(CheckFrameTest, MoreThanFiftyFiveDataBytesIsABadLength) {
    for (const int count : {55, 56}) {
        HexBytes frame{0xAA, static_cast<std::uint8_t>(count + 7), 0x8A, 0, 0, 0, 0};
        frame.resize(static_cast<std::size_t>(count + 7), 0x11);
        frame.push_back(protocol::FrameChecksum(frame.data(), count + 7));
        EXPECT_EQ(CheckFrame(frame), count == 55 ? ReplyStatus::Good : ReplyStatus::BadLength);
    }
}

TEST(CheckFrameTest, EveryFrameTheToolBuildsWithTheLayoutsCountIsGood) {
    for (int index = 0; index < protocol::kCommandCount; ++index) {
        const auto& command = protocol::CommandTable[static_cast<std::size_t>(index)];
        protocol::CommandFields fields;
        fields.commandIndex = index;
        fields.xText = "320";
        fields.yText = "240";
        fields.dataText = command.dataBytes == 2 ? "F8 00" : "01 02 03 04 05 41 42";
        protocol::CommandFrame frame{};
        protocol::DataStore store{};
        const auto built = protocol::BuildCommandFrame(fields, frame, store);
        const HexBytes bytes(frame.begin(), frame.begin() + built.frameLength);
        EXPECT_EQ(CheckFrame(bytes), ReplyStatus::Good) << command.listText << " " << Hex(bytes);
    }
}

// ---- replies ---------------------------------------------------------------------------

TEST(BuildReplyTest, FiveBytesWithTheSumOfTheFourBeforeIt) {
    const struct {
        std::uint8_t command;
        ReplyStatus status;
        int length;
        const char* reply;
    } cases[] = {
        {0x80, ReplyStatus::Good, 5, "AA 04 80 00 2E"},
        {0x8A, ReplyStatus::BadChecksum, 5, "AA 04 8A 01 39"},
        {0x63, ReplyStatus::UnknownCommand, 5, "AA 04 63 02 13"},
        {0x81, ReplyStatus::BadLength, 5, "AA 04 81 03 32"},
        {0x80, ReplyStatus::Good, 6, "AA 04 80 00 2E 00"},
        {0x80, ReplyStatus::Good, 3, "AA 04 80"},
        {0x80, ReplyStatus::Good, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(BuildReply(c.command, c.status, c.length)), c.reply);
    }
}

// ---- the scanner ---------------------------------------------------------------------

class ScannerTest : public ::testing::Test {
  protected:
    // Feeds the bytes `spacing` apart from `at`; returns the time of the last byte.
    TimePoint Feed(const std::string& hex, TimePoint at, std::chrono::nanoseconds spacing = 1ms) {
        for (const auto byte : B(hex)) {
            scanner.Push(byte, at, events);
            at += spacing;
        }
        return at - spacing;
    }
    std::vector<std::string> Summary() const {
        std::vector<std::string> lines;
        for (const auto& e : events) {
            const char* kind = e.kind == ScanEvent::Kind::Garbage   ? "garbage"
                               : e.kind == ScanEvent::Kind::Dropped ? "dropped"
                                                                    : "frame";
            std::string line = std::string(kind) + " " + Hex(e.bytes);
            if (e.kind == ScanEvent::Kind::Frame) {
                line += " status " + std::to_string(static_cast<int>(e.status));
            }
            lines.push_back(line);
        }
        return lines;
    }

    FrameScanner scanner;
    std::vector<ScanEvent> events;
    TimePoint t0 = TimePoint{} + 1h;
};

TEST_F(ScannerTest, GarbageBeforeAStartByteIsReportedThenTheFrame) {
    Feed("01 02 0D AA 04 80 00 2E", t0);
    EXPECT_EQ(Summary(),
              (std::vector<std::string>{"garbage 01 02 0D", "frame AA 04 80 00 2E status 0"}));
    EXPECT_EQ(events[1].command, 0x80);
}

TEST_F(ScannerTest, StartBytesInsideAFrameAreData) {
    Feed("AA 09 8A AA AA 00 AA AA AA 8F", t0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(Hex(events[0].bytes), "AA 09 8A AA AA 00 AA AA AA 8F");
}

TEST_F(ScannerTest, BackToBackFramesInOneBurst) {
    Feed("AA 04 80 00 2E AA 05 81 F8 00 28", t0, 0ns);
    EXPECT_EQ(Summary(), (std::vector<std::string>{"frame AA 04 80 00 2E status 0",
                                                   "frame AA 05 81 F8 00 28 status 0"}));
}

TEST_F(ScannerTest, AStalledFrameIsDroppedAfterTheGap) {
    const TimePoint last = Feed("AA 09 8A 00", t0);
    scanner.Expire(last + 99ms, events);
    EXPECT_TRUE(events.empty());
    ASSERT_EQ(scanner.NextExpiry(), last + 100ms);
    scanner.Expire(last + 100ms, events);
    EXPECT_EQ(Summary(), (std::vector<std::string>{"dropped AA 09 8A 00"}));
    EXPECT_EQ(scanner.NextExpiry(), std::nullopt);
    // Scanning starts afresh.
    Feed("AA 04 80 00 2E", last + 200ms);
    EXPECT_EQ(Summary().back(), "frame AA 04 80 00 2E status 0");
}

TEST_F(ScannerTest, ALateByteAfterTheGapStartsAfresh) {
    const TimePoint last = Feed("AA 04 80", t0);
    Feed("AA 04 80 00 2E", last + 150ms);
    EXPECT_EQ(Summary(),
              (std::vector<std::string>{"dropped AA 04 80", "frame AA 04 80 00 2E status 0"}));
}

TEST_F(ScannerTest, SlowBytesWithinTheGapStillMakeAFrame) {
    Feed("AA 04 80 00 2E", t0, 99ms);
    EXPECT_EQ(Summary(), (std::vector<std::string>{"frame AA 04 80 00 2E status 0"}));
}

TEST_F(ScannerTest, GarbageWithNothingAfterItIsReportedAfterTheGap) {
    const TimePoint last = Feed("11 13", t0);
    scanner.Expire(last + 100ms, events);
    EXPECT_EQ(Summary(), (std::vector<std::string>{"garbage 11 13"}));
}

TEST_F(ScannerTest, LengthBelowThreeIsAnsweredAtOnce) {
    Feed("AA 02 AA 04 80 00 2E", t0);
    EXPECT_EQ(Summary(),
              (std::vector<std::string>{"frame AA 02 status 3", "frame AA 04 80 00 2E status 0"}));
    EXPECT_EQ(events[0].command, 0);
}

// ---- what the module prints ---------------------------------------------------------------

struct DescribeCase {
    const char* frame;
    const char* line;
};

TEST(DescribeFrameTest, OneLinePerFrame) {
    const DescribeCase cases[] = {
        {"AA 04 80 00 2E", "Clear Screen data=[00] checksum=2E good -> status 0"},
        {"AA 09 85 00 0A 00 14 F1 41 88",
         "Ascii Display x=10 y=20 style=F1 (transparent=yes font=8x16) data=[41] checksum=88 "
         "good -> status 0"},
        {"AA 0A 86 00 0A 00 14 2A 48 49 13",
         "Ascii String Display x=10 y=20 style=2A (spi chars=2 transparent=yes font=12x24) "
         "data=[48 49] checksum=13 good -> status 0"},
        {"AA 09 8A 00 64 00 32 F8 00 CB",
         "Draw Point x=100 y=50 data=[F8 00] checksum=CB good -> status 0"},
        {"AA 0E 9C 00 05 00 06 01 02 03 04 F1 41 42 DD",
         "Draw Edit Ascii String x=5 y=6 params=[01 02 03 04] style=F1 (transparent=yes "
         "font=8x16) data=[41 42] checksum=DD good -> status 0"},
        {"AA 0B 9C 00 05 00 06 01 02 03 04 66",
         "Draw Edit Ascii String x=5 y=6 params=[01 02 03 04] checksum=66 good -> status 0"},
        {"AA 09 8A 00 64 00 32 F8 00 CC",
         "Draw Point x=100 y=50 data=[F8 00] checksum=CC bad (sum CB) -> status 1"},
        {"AA 04 90 00 3E", "unknown command 90 data=[00] checksum=3E good -> status 2"},
        {"AA 04 81 F8 27",
         "Set Background Color data=[F8] checksum=27 good length 4 outside 5-58 -> status 3"},
        {"AA 01", "header AA 01: length 1 holds no command -> status 3"},
    };
    for (const auto& c : cases) {
        const HexBytes frame = B(c.frame);
        EXPECT_EQ(DescribeFrame(frame, CheckFrame(frame)), c.line);
    }
}

TEST(DescribeStyleTest, BaseFormWhenItCanBeOneElseSpiForm) {
    const struct {
        std::uint8_t style;
        const char* text;
    } cases[] = {
        {0xF1, "style=F1 (transparent=yes font=8x16)"},
        {0x06, "style=06 (transparent=no font=32x32)"},
        {0x00, "style=00 (transparent=no font=none)"},
        {0x24, "style=24 (spi chars=2 transparent=no font=16x16)"},
        {0x13, "style=13 (spi chars=1 transparent=no font=16x32)"},
        {0x0F, "style=0F (spi chars=0 transparent=yes font=?)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeStyle(c.style), c.text);
    }
}

}  // namespace
}  // namespace glassbench::module
