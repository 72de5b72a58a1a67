// The virtual module's faults: the seeded draw, the mix, and each fault's bytes on the wire.
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "TestHex.h"
#include "module/ModuleFaults.h"

namespace glassbench::module {
namespace {

using namespace std::chrono_literals;
using glassbench::testing::Hex;

constexpr FaultMix kEven{1, 1, 1, 1, 1, 1, 1};

// Sequences worked out by hand from splitmix64's numbers (2n+1 chooses, 2n+2 details): the
// generator is the same on every build, so a seed names the same run everywhere.
TEST(FaultDrawTest, TheSeedNamesTheSequence) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {1,
         "split 5; long C9; silent; normal; long 67; long 8B; normal; late 318; short; short; "
         "normal; junk 06 F3 3E"},
        {2,
         "junk 1E FC 0B; normal; late 568; normal; split 3; normal; normal; short; short; split "
         "4; split 1; short"},
    };
    for (const auto& [seed, expected] : cases) {
        std::string sequence;
        // Backwards: a frame's draw depends on nothing drawn before it.
        for (int frame = 11; frame >= 0; --frame) {
            const FaultDraw draw = DrawFault(seed, kEven, static_cast<std::uint64_t>(frame));
            EXPECT_EQ(draw.sequence, frame);
            const auto delay = draw.delay.count();
            sequence = std::string(FaultName(draw.fault)) +
                       (delay != 0 ? " " + std::to_string(delay) : "") +
                       (draw.noise.empty() ? "" : " " + Hex(draw.noise)) +
                       (frame == 11 ? "" : "; ") + sequence;
        }
        EXPECT_EQ(sequence, expected) << seed;
    }
}

// Over 20,000 frames each fault comes up about as often as its weight says, never when its
// weight is 0, and its particulars cover their whole range and no more.
TEST(FaultDrawTest, FollowsTheMixAndKeepsToTheRanges) {
    constexpr int kFrames = 20000;
    // Per fault: the least and most delay in ms, and the least and most noise bytes.
    constexpr std::array<std::array<long, 4>, kFaultCount> kLimits{{
        {0, 0, 0, 0},      // normal
        {0, 0, 1, 1},      // long
        {1, 5, 0, 0},      // split
        {100, 600, 0, 0},  // late
        {0, 0, 1, 3},      // junk
        {0, 0, 0, 0},      // silent
        {0, 0, 0, 0},      // short
    }};
    std::array<std::array<long, 4>, kFaultCount> limits{};
    std::array<int, kFaultCount> drawn{};
    for (const FaultMix& mix : {kDefaultFaultMix, kEven, FaultMix{0, 0, 0, 0, 0, 1, 0}}) {
        std::array<int, kFaultCount> seen{};
        for (std::uint64_t frame = 0; frame < kFrames; ++frame) {
            const FaultDraw d = DrawFault(99, mix, frame);
            const auto f = static_cast<std::size_t>(d.fault);
            const long delay = d.delay.count();
            const long noise = static_cast<long>(d.noise.size());
            ++seen[f];
            limits[f] =
                drawn[f]++ == 0
                    ? std::array{delay, delay, noise, noise}
                    : std::array{std::min(limits[f][0], delay), std::max(limits[f][1], delay),
                                 std::min(limits[f][2], noise), std::max(limits[f][3], noise)};
        }
        const int weights = std::accumulate(mix.begin(), mix.end(), 0);
        for (std::size_t f = 0; f < kFaultCount; ++f) {
            const double expected = kFrames * static_cast<double>(mix[f]) / weights;
            const auto name = FaultName(static_cast<Fault>(f));
            EXPECT_NEAR(seen[f], expected, mix[f] == 0 ? 0 : 0.1 * expected + 30) << name;
        }
    }
    EXPECT_EQ(limits, kLimits);
}

TEST(FaultMixTest, ReadsNamesAndWeightsAndRefusesAnythingElse) {
    const std::pair<const char*, const char*> cases[] = {
        // clang-format off
        {"normal:70,long:5,split:5,late:3,junk:5,silent:2,short:2",
         "normal:70,long:5,split:5,late:3,junk:5,silent:2,short:2"},
        {"short:0,silent:10000", "normal:0,long:0,split:0,late:0,junk:0,silent:10000,short:0"},
        {"", "unknown fault ''; the faults are normal, long, split, late, junk, silent, short"},
        {"Normal:1",
         "unknown fault 'Normal'; the faults are normal, long, split, late, junk, silent, short"},
        {"normal", "normal needs a weight, as in normal:5"},
        {"late:1,late:2", "late is named twice"},
        {"junk:+1", "the weight '+1' of junk is not 0 to 10000"},
        {"junk:10001", "the weight '10001' of junk is not 0 to 10000"},
        {"junk:1 ", "the weight '1 ' of junk is not 0 to 10000"},
        {"normal:0,silent:0", "the weights are all 0"},
        // clang-format on
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        const auto mix = ParseFaultMix(text, error);
        EXPECT_EQ(mix ? FormatFaultMix(*mix) : error, expected) << text;
    }
}

// Each fault's bytes on the wire, "+N" where a byte leaves N ms after the one before it (or,
// for the first, after the moment a faultless answer would start), and the decoded line's note.
// The answer carries the frame's number where the status would stand, the checksum to match.
TEST(FaultReplyTest, EachFaultPutsItsNumberedAnswerOnTheWire) {
    const struct {
        FaultDraw draw;
        const char* wire;
        const char* note;
    } cases[] = {
        // clang-format off
        {{Fault::Normal, 0x00, 0ms, {}}, "AA 04 80 00 2E", " [fault normal, seq 00]"},
        {{Fault::Long, 0x05, 0ms, {0x7E}}, "AA 04 80 05 33 7E", " [fault long, seq 05]"},
        {{Fault::Split, 0x2C, 3ms, {}}, "AA +3 04 +3 80 +3 2C +3 5A", " [fault split, seq 2C]"},
        {{Fault::Late, 0xFF, 250ms, {}}, "+250 AA 04 80 FF 2D", " [fault late, seq FF]"},
        {{Fault::Junk, 0x05, 0ms, {0x01, 0xAA, 0x02}}, "01 AA 02 AA 04 80 05 33",
         " [fault junk, seq 05]"},
        {{Fault::Silent, 0x05, 0ms, {}}, "", " [fault silent, seq 05]"},
        {{Fault::Short, 0x06, 0ms, {}}, "AA 04 80 06", " [fault short, seq 06]"},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::string wire;
        auto at = 0ms;
        for (const ReplyByte& b : ApplyFault(NumberedReply(0x80, c.draw.sequence), c.draw)) {
            wire += wire.empty() ? "" : " ";
            if (b.after != at) {
                wire += "+" + std::to_string((b.after - at).count()) + " ";
                at = b.after;
            }
            wire += Hex(&b.byte, 1);
        }
        EXPECT_EQ(wire, c.wire) << FaultName(c.draw.fault);
        EXPECT_EQ(FaultNote(c.draw), c.note);
    }
}

}  // namespace
}  // namespace glassbench::module
