// What the virtual module does, whatever line it is on.
//
// Its transport (the pseudo-terminal of ModuleOnPty.cpp, the TCP connection of ModuleOnTcp.cpp)
// hands it every byte it reads. Each byte is stamped with the moment it will have arrived: its
// character time after the byte before, at the speed the line has (with wire timing; without,
// at once). The protocol's scanner in its lenient reading (protocol/FrameScanner.h) cuts the
// bytes into frames, each gets one printed line (ModuleFrames.h)
// and an answer, shaped by a fault when faults are on (ModuleFaults.h), and every answer byte
// is queued with the moment it is due on the wire: the answer starts when the frame's last
// byte has arrived (plus any reply delay) and leaves at the line's pace, behind whatever was
// queued before it. The transport waits on its own descriptors until NextWake and then calls
// Tick, which reports stalled frames and sends what is due; the last stretch before a byte is
// due is waited out on the clock, because a timed wait may end later than a byte's time.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "module/ModuleFrames.h"
#include "module/VirtualModule.h"
#include "protocol/FrameScanner.h"

namespace glassbench::module {

// The line the module is on, as its transport drives it.
class ModuleLine {
  public:
    virtual ~ModuleLine() = default;
    // One character's time on the wire at the line's settings now; zero when unknown.
    virtual std::chrono::nanoseconds CharacterTime() = 0;
    // Why answers must not go out now, or nullopt.
    virtual std::optional<std::string> WhyNotAnswer() { return std::nullopt; }
    // Puts `bytes` on the line now; false when the other side had no room for all of them.
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
};

class ModuleCore {
  public:
    ModuleCore(const ModuleOptions& options, ModuleLine& line, std::ostream& out)
        : options_(options), line_(line), out_(out) {}

    // Bytes the line has just received.
    void Receive(std::span<const std::uint8_t> bytes);
    // Reports what has stalled and sends the answer bytes that are due.
    void Tick();
    // When Tick next has something to do, if ever.
    std::optional<TimePoint> NextWake() const;
    // The peer has gone: what it left of a frame is reported dropped at once and the answer
    // bytes not yet sent are forgotten, so the next peer gets nothing that was not its own.
    void PeerGone();

  private:
    struct TimedByte {
        std::uint8_t byte;
        TimePoint at;
    };

    std::chrono::nanoseconds ByteTime();
    void Handle(std::vector<protocol::ScanEvent>& events);
    void Answer(const protocol::ScanEvent& frame, const std::optional<FaultDraw>& fault);
    void SendDue(TimePoint now);

    const ModuleOptions& options_;
    ModuleLine& line_;
    std::ostream& out_;
    protocol::FrameScanner scanner_{protocol::Reading::Lenient};
    std::vector<protocol::ScanEvent> events_;
    std::deque<TimedByte> outgoing_;
    TimePoint receiveFree_{};
    TimePoint sendFree_{};
    std::uint64_t frames_ = 0;  // frames drawn a fault for
};

}  // namespace glassbench::module
