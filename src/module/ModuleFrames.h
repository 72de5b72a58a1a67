// How the virtual display module reads the byte stream: frames, checks and replies.
//
// The scanner is fed one byte at a time with the moment the byte finished arriving. Outside a
// frame it skips everything up to a start byte 0xAA and reports what it skipped as garbage.
// After the start byte comes the length byte L and then L - 1 more bytes (the checksum is the
// last), so a frame is L + 1 bytes long. A frame that stalls for 100 ms is dropped. A length
// byte below 3 leaves no room for a command code and a checksum: such a header is answered at
// once as a bad length, and scanning starts again after it.
//
// Every frame is answered with AA 04 CMD STATUS CHK, CHK being the sum of the four bytes
// before it. The checks run in the order a module would need them: a frame whose checksum
// is wrong cannot be trusted for anything else; then the command code must be known; then the
// length must fit the command's layout. A fixed layout (Clear, PairParam, SingleParam) is
// accepted with more data bytes than it takes (the window sends them zero-filled), but not
// with fewer: then the module lacks a field it needs. No layout takes more than 55 data bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/CommandTable.h"

namespace glassbench::module {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Bytes = std::vector<std::uint8_t>;

enum class ReplyStatus : std::uint8_t {
    Good = 0,
    BadChecksum = 1,
    UnknownCommand = 2,
    BadLength = 3,
};

inline constexpr std::uint8_t kStartByte = 0xAA;
inline constexpr int kReplyLength = 5;
inline constexpr std::chrono::milliseconds kFrameGap{100};

struct LengthRange {
    int min;
    int max;
};

// The length bytes L a command accepts.
LengthRange AcceptedLengths(const protocol::CommandInfo& command);

// The status a complete frame (L + 1 bytes, L >= 3) is answered with.
ReplyStatus CheckFrame(const Bytes& frame);

// AA 04 CMD STATUS CHK, cut to `length` bytes or padded with zeros to it.
Bytes BuildReply(std::uint8_t command, ReplyStatus status, int length = kReplyLength);

// One line for the operator: the command's list text, X, Y, the style byte's fields, the data
// bytes, whether the checksum is good (protocol/FrameDecode.h reads them), and the status of
// the answer.
std::string DescribeFrame(const Bytes& frame, ReplyStatus status);

struct ScanEvent {
    enum class Kind { Garbage, Frame, Dropped };
    Kind kind;
    Bytes bytes;
    ReplyStatus status = ReplyStatus::Good;  // frames only
    std::uint8_t command = 0;                // frames only: the byte to answer with
    TimePoint at{};                          // when its last byte arrived
};

class FrameScanner {
  public:
    // Takes one byte that finished arriving at `at`; appends what it completes to `events`.
    void Push(std::uint8_t byte, TimePoint at, std::vector<ScanEvent>& events);
    // Reports a frame stalled for the gap, and garbage nothing has followed for as long.
    void Expire(TimePoint now, std::vector<ScanEvent>& events);
    // When Expire will next have something to report, if ever.
    std::optional<TimePoint> NextExpiry() const;

  private:
    void FlushGarbage(std::vector<ScanEvent>& events);

    Bytes garbage_;
    Bytes frame_;
    TimePoint last_{};
};

}  // namespace glassbench::module
