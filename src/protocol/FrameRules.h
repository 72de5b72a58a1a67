// The rules a frame is judged by, for everything that reads frames: the virtual module, which
// answers each with a status, and decode and monitor, which tell the operator what is wrong.
//
// One table holds the checks, in the order a module needs them: the bytes must make one whole
// frame (a length byte L of 3 or more, and L + 1 bytes), else nothing else can be read; a frame
// whose checksum is wrong cannot be trusted, but its other faults are still worth naming; the
// command code must be known, else there is no layout to hold the length against; and L must
// fit the command. The status of the reply is the first check that fails; the problems are
// every check that fails, in words.
//
// The length has two readings, and each caller names the one it takes:
//  - strict: L is what BuildCommandFrame makes from the data count the command takes: a fixed
//    layout's own count, 0 to 55 for a free one, and 5 to 55 for an edit text, whose style
//    byte stands in the fifth place. decode and monitor read strictly: a capture is read to
//    find what is off.
//  - lenient: what the virtual module draws. A fixed layout with more data bytes than it takes
//    is accepted (the window sends the extra bytes as zeros when its Data field holds more),
//    and so is an edit text without a style byte, which still holds its place and its text;
//    fewer data bytes than a fixed layout needs leave the module without a field, and more
//    than 55 are more than any frame the tool builds: both are answered as a bad length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/CommandFrame.h"
#include "protocol/CommandTable.h"

namespace glassbench::protocol {

using Bytes = std::vector<std::uint8_t>;

// The status byte of the module's answer AA 04 CMD STATUS CHK.
enum class ReplyStatus : std::uint8_t {
    Good = 0,
    BadChecksum = 1,
    UnknownCommand = 2,
    BadLength = 3,
};

enum class Reading { Strict, Lenient };

struct LengthRange {
    int min;
    int max;
};

// The length bytes L the command takes in that reading.
LengthRange AcceptedLengths(const CommandInfo& command, Reading reading);

// Why L does not fit the command in that reading ("2 data bytes where the command takes 1"),
// or "" when it does.
std::string LengthProblem(const CommandInfo& command, int length, Reading reading);

// Whether `n` bytes that begin with the start byte are one whole frame: L of 3 or more (room
// for a command code and a checksum) and L + 1 bytes.
bool IsWholeFrame(const std::uint8_t* bytes, int n);

struct FrameCheck {
    ReplyStatus status = ReplyStatus::Good;  // the first check that fails
    std::vector<std::string> problems;       // every check that fails, in words
};

// Judges `n` bytes that begin with the start byte and are meant to be one frame, as the
// scanner cuts them.
FrameCheck CheckFrame(const std::uint8_t* bytes, int n, Reading reading);

// AA 04 CMD STATUS CHK, cut to `length` bytes or padded with zeros to it.
Bytes BuildReply(std::uint8_t command, ReplyStatus status, int length = kReplyLength);

}  // namespace glassbench::protocol
