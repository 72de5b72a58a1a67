#include "module/ModuleCore.h"

#include <algorithm>
#include <ostream>

#include "protocol/HexText.h"

namespace glassbench::module {

using protocol::ScanEvent;

namespace {

// How long before a reply byte is due the module stops waiting and watches the clock.
constexpr std::chrono::microseconds kFinalApproach{50};

}  // namespace

std::chrono::nanoseconds ModuleCore::ByteTime() {
    return options_.wireTiming ? line_.CharacterTime() : std::chrono::nanoseconds{0};
}

// Bytes are scanned as soon as they are read, each stamped with the moment it will have
// arrived. Only the answer waits for those moments, so the loop wakes for what the other side
// sees, not for every byte.
void ModuleCore::Receive(std::span<const std::uint8_t> bytes) {
    const TimePoint now = Clock::now();
    const auto byteTime = ByteTime();
    for (const std::uint8_t byte : bytes) {
        receiveFree_ = std::max(now, receiveFree_) + byteTime;
        scanner_.Push(byte, receiveFree_, events_);
        Handle(events_);
    }
}

void ModuleCore::Tick() {
    const TimePoint now = Clock::now();
    scanner_.Expire(now, events_);
    Handle(events_);
    SendDue(now);
}

std::optional<TimePoint> ModuleCore::NextWake() const {
    std::optional<TimePoint> wake = scanner_.NextExpiry();
    if (!outgoing_.empty()) {
        const TimePoint at = outgoing_.front().at - kFinalApproach;
        wake = wake ? std::min(*wake, at) : at;
    }
    return wake;
}

void ModuleCore::PeerGone() {
    scanner_.Expire(TimePoint::max(), events_);
    Handle(events_);
    outgoing_.clear();
    receiveFree_ = {};
    sendFree_ = {};
}

void ModuleCore::Handle(std::vector<ScanEvent>& events) {
    for (auto& event : events) {
        switch (event.kind) {
            case ScanEvent::Kind::Garbage:
                out_ << "garbage: " << protocol::FormatHexLine(event.bytes) << std::endl;
                break;
            case ScanEvent::Kind::Dropped:
                out_ << "dropped incomplete frame: " << protocol::FormatHexLine(event.bytes)
                     << std::endl;
                break;
            case ScanEvent::Kind::Frame: {
                std::optional<FaultDraw> fault;
                if (options_.faultSeed) {
                    fault = DrawFault(*options_.faultSeed, options_.faultMix, frames_++);
                }
                out_ << DescribeFrame(event.bytes, event.status) << (fault ? FaultNote(*fault) : "")
                     << std::endl;
                Answer(event, fault);
                break;
            }
        }
    }
    events.clear();
}

void ModuleCore::Answer(const ScanEvent& frame, const std::optional<FaultDraw>& fault) {
    if (options_.silent) {
        return;
    }
    if (const auto reason = line_.WhyNotAnswer()) {
        out_ << "not answering: " << *reason << std::endl;
        return;
    }
    const Bytes reply =
        fault ? NumberedReply(frame.command, fault->sequence)
              : protocol::BuildReply(frame.command, frame.status, options_.replyLength);
    const auto byteTime = ByteTime();
    // The answer is timed from the frame's end on the wire, not from when the loop got round
    // to it, so a late wake-up does not add to the exchange.
    const TimePoint start = frame.at + std::chrono::milliseconds(options_.replyDelayMs);
    // A byte never overtakes one queued before it: the module has one transmitter.
    for (const ReplyByte& out : ApplyFault(reply, fault.value_or(FaultDraw{}))) {
        sendFree_ = std::max(start + out.after, sendFree_) + byteTime;
        outgoing_.push_back({out.byte, sendFree_});
    }
}

void ModuleCore::SendDue(TimePoint now) {
    for (;;) {
        Bytes due;
        while (!outgoing_.empty() && outgoing_.front().at <= now) {
            due.push_back(outgoing_.front().byte);
            outgoing_.pop_front();
        }
        if (!due.empty() && !line_.Write(due)) {
            // A module's transmitter does not wait for the host: what the host has no room
            // for is lost.
            out_ << "reply bytes lost: the other side is not reading" << std::endl;
        }
        if (outgoing_.empty() || outgoing_.front().at - Clock::now() > kFinalApproach) {
            return;
        }
        // The last stretch before a byte is due is waited out on the clock: a timed wait in a
        // Linux guest ends 30-40 us late, a third of a byte at 115200 baud.
        const TimePoint at = outgoing_.front().at;
        while ((now = Clock::now()) < at) {
        }
    }
}

}  // namespace glassbench::module
