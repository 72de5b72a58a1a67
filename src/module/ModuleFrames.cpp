#include "module/ModuleFrames.h"

#include <algorithm>
#include <sstream>

#include "protocol/CommandFrame.h"
#include "protocol/FrameDecode.h"
#include "protocol/HexText.h"

namespace glassbench::module {

namespace {

std::string HexByte(std::uint8_t byte) {
    return protocol::FormatHexLine(&byte, 1);
}

}  // namespace

LengthRange AcceptedLengths(const protocol::CommandInfo& command) {
    // A fixed layout needs its own data count at least; a free one (dataBytes -1) none.
    const int header = protocol::HeaderLength(command.layout);
    return {header + std::max(command.dataBytes, 0), header + protocol::kMaxDataBytes};
}

ReplyStatus CheckFrame(const Bytes& frame) {
    const int length = frame.size() >= 2 ? frame[1] : 0;
    if (length < 3 || static_cast<int>(frame.size()) != length + 1) {
        return ReplyStatus::BadLength;
    }
    if (protocol::FrameChecksum(frame.data(), length) != frame[static_cast<std::size_t>(length)]) {
        return ReplyStatus::BadChecksum;
    }
    const protocol::CommandInfo* command = protocol::CommandById(frame[2]);
    if (command == nullptr) {
        return ReplyStatus::UnknownCommand;
    }
    const LengthRange range = AcceptedLengths(*command);
    if (length < range.min || length > range.max) {
        return ReplyStatus::BadLength;
    }
    return ReplyStatus::Good;
}

Bytes BuildReply(std::uint8_t command, ReplyStatus status, int length) {
    Bytes reply{kStartByte, 0x04, command, static_cast<std::uint8_t>(status), 0};
    reply[4] = protocol::FrameChecksum(reply.data(), 4);
    reply.resize(static_cast<std::size_t>(std::max(length, 0)), 0);
    return reply;
}

std::string DescribeFrame(const Bytes& frame, ReplyStatus status) {
    std::ostringstream line;
    const int length = frame.size() >= 2 ? frame[1] : 0;
    if (length < 3 || static_cast<int>(frame.size()) != length + 1) {
        line << "header " << protocol::FormatHexLine(frame.data(), static_cast<int>(frame.size()))
             << ": length " << length << " holds no command";
        line << " -> status " << static_cast<int>(status);
        return line.str();
    }
    // The same reading of the fields as glassbench-cli decode and monitor give.
    const protocol::DecodedFrame decoded =
        protocol::DecodeFrame(frame.data(), static_cast<int>(frame.size()));
    if (decoded.command != nullptr) {
        line << decoded.command->listText;
    } else {
        line << "unknown command " << HexByte(frame[2]);
    }
    line << " " << protocol::FieldsText(decoded);
    if (status == ReplyStatus::BadLength && decoded.command != nullptr) {
        const LengthRange range = AcceptedLengths(*decoded.command);
        line << " length " << length << " outside " << range.min << "-" << range.max;
    }
    line << " -> status " << static_cast<int>(status);
    return line.str();
}

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
        return;
    }
    frame_.push_back(byte);
    const int length = frame_[1];
    if (frame_.size() == 2 && length < 3) {
        // No room for a command code and a checksum: answer the header as it stands.
        events.push_back(
            {ScanEvent::Kind::Frame, std::move(frame_), ReplyStatus::BadLength, 0, at});
        frame_.clear();
        return;
    }
    if (static_cast<int>(frame_.size()) == length + 1) {
        const ReplyStatus status = CheckFrame(frame_);
        const std::uint8_t command = frame_[2];
        events.push_back({ScanEvent::Kind::Frame, std::move(frame_), status, command, at});
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

}  // namespace glassbench::module
