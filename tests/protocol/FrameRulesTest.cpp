// The frame rules in both readings, and the scanner that cuts a stream into frames.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TestHex.h"
#include "protocol/FrameRules.h"
#include "protocol/FrameScanner.h"

namespace glassbench::protocol {
namespace {

using namespace std::chrono_literals;
using glassbench::testing::Hex;

std::string Joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const auto& text : texts) {
        all += (all.empty() ? "" : "; ") + text;
    }
    return all;
}

// The virtual module answers with the lenient reading's status; decode and monitor report the
// strict reading's problems. The two differ only where the module can still draw a frame the
// builder would not have made from the data count the command takes.
TEST(FrameRulesTest, TheModuleAnswersLenientlyWhereDecodeReportsStrictly) {
    std::string tooLong = "AA 3F 8A 00 00 00 00";  // 56 data bytes
    unsigned sum = 0xAA + 0x3F + 0x8A;
    for (int i = 0; i < 56; ++i) {
        tooLong += " 01";
        ++sum;
    }
    tooLong += " " + Hex(std::vector<std::uint8_t>{static_cast<std::uint8_t>(sum)});
    constexpr auto Good = ReplyStatus::Good;
    constexpr auto Sum = ReplyStatus::BadChecksum;
    constexpr auto Unknown = ReplyStatus::UnknownCommand;
    constexpr auto Length = ReplyStatus::BadLength;
    const struct {
        std::string hex;
        ReplyStatus lenient, strict;
        const char* problems;  // the strict reading's
    } cases[] = {
        // clang-format off
        {"AA 04 80 00 2E", Good, Good, ""},
        // They differ: the window sends a fixed layout's surplus data bytes as zeros, and the
        // module takes the bytes it needs from the front.
        {"AA 05 80 00 00 2F", Good, Length, "2 data bytes where the command takes 1"},
        {"AA 06 82 01 02 00 35", Good, Length, "3 data bytes where the command takes 2"},
        // They differ: an edit text of four data bytes has no style byte, but its place and
        // parameters are all there.
        {"AA 0B 9C 00 00 00 00 01 02 03 04 5B", Good, Length,
         "4 data bytes where an edit text takes 5 or more"},
        // They agree: too few bytes for a fixed layout leave the module without a field.
        {"AA 04 81 F8 27", Length, Length, "1 data byte where the command takes 2"},
        {"AA 03 80 2D", Length, Length, "0 data bytes where the command takes 1"},
        {"AA 05 8A 00 01 3A", Length, Length, "length 5 is shorter than its 7-byte header"},
        {tooLong, Length, Length, "56 data bytes, more than 55"},
        // The checksum comes before the command code, which comes before the length.
        {"AA 04 80 00 2F", Sum, Sum, "bad checksum (sum 2E)"},
        {"AA 04 90 00 3E", Unknown, Unknown, "unknown command 90"},
        {"AA 04 99 01 3F", Sum, Sum, "bad checksum (sum 48); unknown command 99"},
        {"AA 04 81 F8 28", Sum, Sum, "bad checksum (sum 27); 1 data byte where the command takes 2"},
        {"AA 01", Length, Length, "length 1 holds no command"},
        {"AA 05 80 00", Length, Length, "4 bytes where length 5 makes 6"},
        // clang-format on
    };
    for (const auto& c : cases) {
        const Bytes bytes = glassbench::testing::Bytes(c.hex);
        const int n = static_cast<int>(bytes.size());
        const FrameCheck lenient = CheckFrame(bytes.data(), n, Reading::Lenient);
        const FrameCheck strict = CheckFrame(bytes.data(), n, Reading::Strict);
        EXPECT_EQ(lenient.status, c.lenient) << c.hex;
        EXPECT_EQ(strict.status, c.strict) << c.hex;
        EXPECT_EQ(Joined(strict.problems), c.problems) << c.hex;
        EXPECT_EQ(lenient.problems.empty(), c.lenient == Good) << c.hex;
    }
}

// The scanner's reports for a feed of hex bytes 1 ms apart; "+N" makes the next byte (or
// the final look at the clock) N ms after the one before, and "take" takes the garbage held but
// its newest byte, as decode takes a long run of it. A frame shows the module's reply.
TEST(FrameScannerTest, ReportsGarbageFramesWithTheirRepliesAndDroppedFrames) {
    const std::pair<const char*, const char*> cases[] = {
        // clang-format off
        {"AA 04 80 00 2E", "AA 04 80 00 2E -> AA 04 80 00 2E"},
        {"AA 04 90 00 2E", "AA 04 90 00 2E -> AA 04 90 01 3F"},
        {"AA 07 85 00 00 00 00 36", "AA 07 85 00 00 00 00 36 -> AA 04 85 03 36"},
        {"AA 02 AA 04 80 00 2E", "AA 02 -> AA 04 00 03 B1; AA 04 80 00 2E -> AA 04 80 00 2E"},
        {"01 02 0D AA 04 80 00 2E", "garbage 01 02 0D; AA 04 80 00 2E -> AA 04 80 00 2E"},
        {"11 13 +100", "garbage 11 13"},
        {"AA 09 8A AA AA 00 AA AA AA 8F", "AA 09 8A AA AA 00 AA AA AA 8F -> AA 04 8A 00 38"},
        {"AA 09 8A 00 +100", "dropped AA 09 8A 00"},
        {"AA 04 80 +150 AA 04 80 00 2E", "dropped AA 04 80; AA 04 80 00 2E -> AA 04 80 00 2E"},
        {"AA +99 04 +99 80 +99 00 +99 2E", "AA 04 80 00 2E -> AA 04 80 00 2E"},
        // A run taken in parts still ends in an event of its own, with what came after.
        {"01 02 03 take 04 take take AA 04 80 00 2E",
         "taken 01 02; taken 03; garbage 04; AA 04 80 00 2E -> AA 04 80 00 2E"},
        {"01 take 02 03 take +100", "taken 01 02; garbage 03"},
        {"take AA 09 take 8A +100", "dropped AA 09 8A"},
        // clang-format on
    };
    for (const auto& [feed, expected] : cases) {
        FrameScanner scanner(Reading::Lenient);
        std::vector<ScanEvent> events;
        TimePoint at = TimePoint{} + 1h;
        auto gap = 1ms;
        std::string summary;
        const auto add = [&](const char* kind, const Bytes& bytes, std::string reply = "") {
            summary += (summary.empty() ? "" : "; ") + std::string(kind) + Hex(bytes) + reply;
        };
        const auto addEvents = [&] {
            for (const auto& e : events) {
                const bool frame = e.kind == ScanEvent::Kind::Frame;
                add(e.kind == ScanEvent::Kind::Garbage ? "garbage "
                    : frame                            ? ""
                                                       : "dropped ",
                    e.bytes, frame ? " -> " + Hex(BuildReply(e.command, e.status)) : "");
            }
            events.clear();
        };
        std::istringstream in(feed);
        for (std::string token; in >> token;) {
            if (token == "take") {
                if (const Bytes taken = scanner.TakeGarbageHead(); !taken.empty()) {
                    add("taken ", taken);
                }
                continue;
            }
            if (token[0] == '+') {
                gap = std::chrono::milliseconds(std::stoi(token.substr(1)));
                continue;
            }
            at += gap;
            gap = 1ms;
            scanner.Push(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)), at, events);
            addEvents();
        }
        scanner.Expire(at + gap, events);
        addEvents();
        EXPECT_EQ(summary, expected) << feed;
    }
}

}  // namespace
}  // namespace glassbench::protocol
