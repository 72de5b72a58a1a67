// Cutting a byte stream into frames, as the virtual module reads its line and as decode and
// monitor read captured traffic.
//
// The scanner is fed one byte at a time with the moment the byte finished arriving; it never
// reads a clock itself, so the same bytes and moments always give the same pieces. Outside a
// frame it skips everything up to a start byte 0xAA and reports what it skipped as garbage.
// After the start byte comes the length byte L and then L - 1 more bytes (the checksum is the
// last), so a frame is L + 1 bytes long. A frame that stalls for 100 ms is dropped. A length
// byte below 3 leaves no room for a command code and a checksum: such a header is reported at
// once as a frame with a bad length, and scanning starts again after it. Each frame is judged
// by the frame rules (FrameRules.h) in the reading the scanner was made with.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/Clock.h"
#include "protocol/FrameRules.h"

namespace glassbench::protocol {

// How long a frame may stall before it is given up, and garbage is reported.
inline constexpr std::chrono::milliseconds kFrameGap{100};

struct ScanEvent {
    enum class Kind { Garbage, Frame, Dropped };
    Kind kind;
    Bytes bytes;
    ReplyStatus status = ReplyStatus::Good;  // frames only
    std::uint8_t command = 0;                // frames only: the byte to answer with
    TimePoint at{};                          // when its last byte arrived
    TimePoint from{};                        // frames only: when their start byte arrived
};

class FrameScanner {
  public:
    explicit FrameScanner(Reading reading) : reading_(reading) {}

    // Takes one byte that finished arriving at `at`; appends what it completes to `events`.
    void Push(std::uint8_t byte, TimePoint at, std::vector<ScanEvent>& events);
    // Reports a frame stalled for the gap, and garbage nothing has followed for as long.
    void Expire(TimePoint now, std::vector<ScanEvent>& events);
    // When Expire will next have something to report, if ever.
    std::optional<TimePoint> NextExpiry() const;

    // How many bytes of garbage are held until their run ends.
    std::size_t GarbageHeld() const { return garbage_.size(); }
    // For a caller that cannot hold a long run of garbage whole (decode, over a capture of any
    // size): the garbage held so far but its newest byte, taken out. The run goes on, and still
    // ends in a Garbage event of its own, which holds what came after what was taken.
    Bytes TakeGarbageHead();

  private:
    void FlushGarbage(std::vector<ScanEvent>& events);

    Reading reading_;
    Bytes garbage_;
    Bytes frame_;
    TimePoint first_{};  // when frame_'s start byte arrived
    TimePoint last_{};
};

}  // namespace glassbench::protocol
