#include "protocol/FrameScanner.h"

namespace glassbench::protocol {

void FrameScanner::FlushGarbage(std::vector<ScanEvent>& events) {
    if (!garbage_.empty()) {
        events.push_back({ScanEvent::Kind::Garbage, std::move(garbage_)});
        garbage_.clear();
    }
}

void FrameScanner::Push(std::uint8_t byte, TimePoint at, std::vector<ScanEvent>& events) {
    Expire(at, events);
    last_ = at;
    if (frame_.empty()) {
        if (byte != kStartByte) {
            garbage_.push_back(byte);
            return;
        }
        FlushGarbage(events);
        frame_.push_back(byte);
        first_ = at;
        return;
    }
    frame_.push_back(byte);
    const int length = frame_[1];
    // A header whose length leaves no room for a command is complete as it stands.
    const bool shortHeader = frame_.size() == 2 && length < 3;
    if (shortHeader || static_cast<int>(frame_.size()) == length + 1) {
        const ReplyStatus status =
            CheckFrame(frame_.data(), static_cast<int>(frame_.size()), reading_).status;
        const std::uint8_t command = shortHeader ? 0 : frame_[2];
        events.push_back({ScanEvent::Kind::Frame, std::move(frame_), status, command, at, first_});
        frame_.clear();
    }
}

void FrameScanner::Expire(TimePoint now, std::vector<ScanEvent>& events) {
    if (now - last_ < kFrameGap) {
        return;
    }
    FlushGarbage(events);
    if (!frame_.empty()) {
        events.push_back({ScanEvent::Kind::Dropped, std::move(frame_)});
        frame_.clear();
    }
}

std::optional<TimePoint> FrameScanner::NextExpiry() const {
    if (garbage_.empty() && frame_.empty()) {
        return std::nullopt;
    }
    return last_ + kFrameGap;
}

Bytes FrameScanner::TakeGarbageHead() {
    if (garbage_.size() < 2) {
        return {};
    }
    Bytes head(garbage_.begin(), garbage_.end() - 1);
    garbage_.erase(garbage_.begin(), garbage_.end() - 1);
    return head;
}

}  // namespace glassbench::protocol
