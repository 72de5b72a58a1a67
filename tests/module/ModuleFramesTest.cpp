// The virtual module's frame finding, checks, replies and decoded lines.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TestHex.h"
#include "module/ModuleFrames.h"
#include "protocol/CommandFrame.h"

namespace glassbench::module {
namespace {

using namespace std::chrono_literals;
using glassbench::testing::Hex;

// The scanner's reports for a feed of hex bytes 1 ms apart; "+N" makes the next byte (or
// the final look at the clock) N ms after the one before. A frame shows the module's reply.
TEST(ScannerTest, ReportsGarbageFramesWithTheirRepliesAndDroppedFrames) {
    const std::pair<const char*, const char*> cases[] = {
        // clang-format off
        {"AA 04 80 00 2E", "AA 04 80 00 2E -> AA 04 80 00 2E"},
        // The window sends a fixed layout with more data bytes, zero-filled.
        {"AA 05 80 00 00 2F", "AA 05 80 00 00 2F -> AA 04 80 00 2E"},
        {"AA 04 80 00 2F", "AA 04 80 00 2F -> AA 04 80 01 2F"},
        {"AA 04 90 00 2E", "AA 04 90 00 2E -> AA 04 90 01 3F"},  // checksum before command
        {"AA 04 90 00 3E", "AA 04 90 00 3E -> AA 04 90 02 40"},
        {"AA 04 81 F8 27", "AA 04 81 F8 27 -> AA 04 81 03 32"},  // fewer bytes than the layout
        {"AA 07 85 00 00 00 00 36", "AA 07 85 00 00 00 00 36 -> AA 04 85 03 36"},
        {"AA 02 AA 04 80 00 2E", "AA 02 -> AA 04 00 03 B1; AA 04 80 00 2E -> AA 04 80 00 2E"},
        {"01 02 0D AA 04 80 00 2E", "garbage 01 02 0D; AA 04 80 00 2E -> AA 04 80 00 2E"},
        {"11 13 +100", "garbage 11 13"},
        {"AA 09 8A AA AA 00 AA AA AA 8F", "AA 09 8A AA AA 00 AA AA AA 8F -> AA 04 8A 00 38"},
        {"AA 09 8A 00 +100", "dropped AA 09 8A 00"},
        {"AA 04 80 +150 AA 04 80 00 2E", "dropped AA 04 80; AA 04 80 00 2E -> AA 04 80 00 2E"},
        {"AA +99 04 +99 80 +99 00 +99 2E", "AA 04 80 00 2E -> AA 04 80 00 2E"},
        // clang-format on
    };
    for (const auto& [feed, expected] : cases) {
        FrameScanner scanner;
        std::vector<ScanEvent> events;
        TimePoint at = TimePoint{} + 1h;
        auto gap = 1ms;
        std::istringstream in(feed);
        for (std::string token; in >> token;) {
            if (token[0] == '+') {
                gap = std::chrono::milliseconds(std::stoi(token.substr(1)));
                continue;
            }
            at += gap;
            gap = 1ms;
            scanner.Push(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)), at, events);
        }
        scanner.Expire(at + gap, events);
        std::string summary;
        for (const auto& e : events) {
            summary += summary.empty() ? "" : "; ";
            const bool frame = e.kind == ScanEvent::Kind::Frame;
            summary += e.kind == ScanEvent::Kind::Garbage ? "garbage " : frame ? "" : "dropped ";
            summary += Hex(e.bytes) + (frame ? " -> " + Hex(BuildReply(e.command, e.status)) : "");
        }
        EXPECT_EQ(summary, expected) << feed;
    }
}

TEST(CheckFrameTest, FramesTheToolBuildsAreGoodFromTheFewestToFiftyFiveDataBytes) {
    for (int index = 0; index < protocol::kCommandCount; ++index) {
        Bytes bytes;
        // The fewest data bytes the command takes (none in a free layout), then fifty-five.
        for (const int count : {protocol::CommandAt(index)->dataBytes, 55}) {
            std::string data;
            for (int i = 0; i < count; ++i) {
                data += "41 ";
            }
            protocol::CommandFrame frame{};
            protocol::DataStore store{};
            const auto built =
                protocol::BuildCommandFrame({index, "320", "240", data}, frame, store);
            bytes.assign(frame.begin(), frame.begin() + built.frameLength);
            EXPECT_EQ(CheckFrame(bytes), ReplyStatus::Good) << Hex(bytes);
        }
        // A 56th data byte is too many for any layout.
        bytes.insert(bytes.end() - 1, 0x41);
        ++bytes[1];
        bytes.back() = protocol::FrameChecksum(bytes.data(), bytes[1]);
        EXPECT_EQ(CheckFrame(bytes), ReplyStatus::BadLength) << Hex(bytes);
    }
}

TEST(DescribeFrameTest, OneLinePerFrame) {
    const std::pair<const char*, const char*> cases[] = {
        {"AA 09 85 00 0A 00 14 F1 41 88",
         "Ascii Display x=10 y=20 style=F1 (transparent=yes font=8x16) data=[41] checksum=88 "
         "good -> status 0"},
        {"AA 0E 9C 00 05 00 06 01 02 03 04 F1 41 42 DD",
         "Draw Edit Ascii String x=5 y=6 params=[01 02 03 04] style=F1 (transparent=yes "
         "font=8x16) data=[41 42] checksum=DD good -> status 0"},
        {"AA 04 81 F8 27",
         "Set Background Color data=[F8] checksum=27 good length 4 outside 5-58 -> status 3"},
        {"AA 01", "header AA 01: length 1 holds no command -> status 3"},
    };
    for (const auto& [hex, line] : cases) {
        const Bytes frame = glassbench::testing::Bytes(hex);
        EXPECT_EQ(DescribeFrame(frame, CheckFrame(frame)), line);
    }
}

}  // namespace
}  // namespace glassbench::module
