// A virtual module that misbehaves on purpose, so that the tool's handling of a bad answer
// can be watched and repeated.
//
// Each frame draws one fault. The draw for frame n is a pure function of the seed, the mix
// and n: numbers 2n+1 and 2n+2 of the splitmix64 stream started at the seed, the first
// choosing the fault by weight and the second its particulars (how late, how far apart, which
// noise). splitmix64 is written out here rather than taken from <random>, whose distributions
// differ between standard libraries: a seed names the same run on every build, and a change
// to the mix does not shift the draws of later frames.
//
// While faults are on, every answer carries the frame's number modulo 256 in place of its
// status (frames counted from 0, silent ones included, so a missing number shows which frame
// went unanswered), with the checksum recomputed: an answer shown against the wrong frame
// gives itself away.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/ModuleFrames.h"

namespace glassbench::module {

enum class Fault : std::uint8_t {
    Normal,  // the answer as it should be
    Long,    // one byte too many
    Split,   // the five bytes a few milliseconds apart
    Late,    // 100-600 ms late, still inside the tool's one-second reply window
    Junk,    // one to three noise bytes before the answer
    Silent,  // no answer
    Short,   // the first four bytes only
};

inline constexpr int kFaultCount = 7;

// Weights indexed by Fault; only their ratios matter.
using FaultMix = std::array<int, kFaultCount>;

inline constexpr int kMaxFaultWeight = 10000;

// Rare enough slow faults that 10,000 exchanges (a frame, then up to one second for five
// bytes) finish well inside 15 minutes:
//   silent and short leave the tool waiting its full second: 4 % of 10,000 = 400 s;
//   late waits at most 600 ms:                                 3 % of 10,000 = 300 x 0.6 = 180 s;
//   split spreads the answer over at most 4 x 5 ms:            5 % of 10,000 = 500 x 0.02 = 10 s;
//   the rest take the wire's time: a five-byte frame and its answer at 9600 baud with wire
//   timing are 10.4 ms, 10,000 x 10.4 ms = 104 s.
// At most 694 s, 11.6 minutes, leaving room for longer frames and the tool's own pace.
inline constexpr FaultMix kDefaultFaultMix{78, 5, 5, 3, 5, 2, 2};

// "normal", "long", ...
std::string_view FaultName(Fault fault);

// "normal:70,long:5": names and weights, 0 to kMaxFaultWeight; a fault not named has weight
// 0, and the weights must not all be 0. On a bad text returns nullopt with the reason.
std::optional<FaultMix> ParseFaultMix(std::string_view text, std::string& error);

// Every fault of the mix with its weight, in the form ParseFaultMix reads.
std::string FormatFaultMix(const FaultMix& mix);

// The next number of the splitmix64 stream whose state is `state`.
std::uint64_t SplitMix64(std::uint64_t& state);

// What is done to one frame's answer.
struct FaultDraw {
    Fault fault = Fault::Normal;
    std::uint8_t sequence = 0;           // the frame's number modulo 256
    std::chrono::milliseconds delay{0};  // Late: before the answer; Split: between its bytes
    std::vector<std::uint8_t> noise;     // Junk: before the answer; Long: after it
};

// The draw for frame `frame` (counted from 0). `mix` must have a weight above 0.
FaultDraw DrawFault(std::uint64_t seed, const FaultMix& mix, std::uint64_t frame);

// AA 04 CMD SEQ CHK: the answer with the frame's number where the status would stand.
Bytes NumberedReply(std::uint8_t command, std::uint8_t sequence);

struct ReplyByte {
    std::uint8_t byte;
    std::chrono::milliseconds after;  // from the moment a faultless answer would start
};

// `answer` as `draw` puts it on the wire.
std::vector<ReplyByte> ApplyFault(const Bytes& answer, const FaultDraw& draw);

// " [fault split, seq 2C]", for the end of the frame's decoded line.
std::string FaultNote(const FaultDraw& draw);

}  // namespace glassbench::module
