#include "module/ModuleFrames.h"

#include <algorithm>
#include <array>
#include <sstream>

#include "protocol/CommandFrame.h"
#include "protocol/HexText.h"

namespace glassbench::module {

namespace {

using protocol::FrameLayout;

std::string HexByte(std::uint8_t byte) {
    return protocol::FormatHexLine(&byte, 1);
}

// Bytes first..last-1 of the frame as "[..]", clipped to the frame.
std::string Field(const Bytes& frame, int first, int last) {
    last = std::min(last, static_cast<int>(frame.size()));
    if (first >= last) {
        return "[]";
    }
    // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) on "[" + string.
    std::string text = "[";
    text += protocol::FormatHexLine(frame.data() + first, last - first);
    text += ']';
    return text;
}

int Word(const Bytes& frame, int at) {
    return frame[at] << 8 | frame[at + 1];
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

std::string DescribeStyle(std::uint8_t style) {
    static constexpr std::array<const char*, 8> kFonts{"none",  "8x16",  "12x24", "16x32",
                                                       "16x16", "24x24", "32x32", "?"};
    const int high = style >> 4;
    const int low = style & 0x0F;
    std::ostringstream text;
    text << "style=" << HexByte(style) << " (";
    if ((high == 0xF || high == 0) && low <= 6) {
        text << "transparent=" << (high == 0xF ? "yes" : "no") << " font=" << kFonts[low];
    } else {
        // The SPI form of the string commands: character count, transparency bit, font.
        text << "spi chars=" << high << " transparent=" << ((low & 0x08) != 0 ? "yes" : "no")
             << " font=" << kFonts[low & 0x07];
    }
    text << ")";
    return text.str();
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
    const protocol::CommandInfo* command = protocol::CommandById(frame[2]);
    const auto layout = command != nullptr ? command->layout : FrameLayout::Clear;
    if (command != nullptr) {
        line << command->listText;
    } else {
        line << "unknown command " << HexByte(frame[2]);
    }
    const auto has = [&](int bytes) { return length >= bytes; };
    switch (layout) {
        case FrameLayout::Glyph:
        case FrameLayout::Text:
            if (has(8)) {
                line << " x=" << Word(frame, 3) << " y=" << Word(frame, 5) << " "
                     << DescribeStyle(frame[7]) << " data=" << Field(frame, 8, length);
            } else {
                line << " data=" << Field(frame, 3, length);
            }
            break;
        case FrameLayout::Shape:
            if (has(7)) {
                line << " x=" << Word(frame, 3) << " y=" << Word(frame, 5)
                     << " data=" << Field(frame, 7, length);
            } else {
                line << " data=" << Field(frame, 3, length);
            }
            break;
        case FrameLayout::EditText:
            if (!has(7)) {
                line << " data=" << Field(frame, 3, length);
            } else if (length > 11) {
                // Byte 11, the place of the fifth data byte, carries the style byte.
                line << " x=" << Word(frame, 3) << " y=" << Word(frame, 5)
                     << " params=" << Field(frame, 7, 11) << " " << DescribeStyle(frame[11])
                     << " data=" << Field(frame, 12, length);
            } else {
                line << " x=" << Word(frame, 3) << " y=" << Word(frame, 5)
                     << " params=" << Field(frame, 7, length);
            }
            break;
        default:
            line << " data=" << Field(frame, 3, length);
            break;
    }
    const std::uint8_t sum = protocol::FrameChecksum(frame.data(), length);
    const std::uint8_t carried = frame[static_cast<std::size_t>(length)];
    line << " checksum=" << HexByte(carried);
    if (sum == carried) {
        line << " good";
    } else {
        line << " bad (sum " << HexByte(sum) << ")";
    }
    if (status == ReplyStatus::BadLength && command != nullptr) {
        const LengthRange range = AcceptedLengths(*command);
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
