#include "protocol/CommandFrame.h"

#include <algorithm>

#include "protocol/HexText.h"

namespace glassbench::protocol {

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void PutCoordinates(CommandFrame& frame, std::uint16_t x, std::uint16_t y) {
    frame[3] = static_cast<std::uint8_t>(x >> 8);
    frame[4] = static_cast<std::uint8_t>(x & 0xFF);
    frame[5] = static_cast<std::uint8_t>(y >> 8);
    frame[6] = static_cast<std::uint8_t>(y & 0xFF);
}

}  // namespace

std::uint8_t FrameChecksum(const std::uint8_t* frame, int n) {
    const int limit = n & 0xFF;
    unsigned sum = 0;
    for (int i = 0; i < limit; ++i) {
        sum += frame[i];
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::uint16_t ReadCoordinate(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsCSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Only the low 16 bits are kept, so the sum may wrap freely instead of overflowing.
    std::uint32_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = (value * 10u + static_cast<std::uint32_t>(text[pos] - '0')) & 0xFFFFu;
        ++pos;
    }
    if (negative) {
        value = (0x10000u - value) & 0xFFFFu;
    }
    return static_cast<std::uint16_t>(value);
}

std::uint8_t BaseStyleByte(int transparentIndex, int fontSizeIndex) {
    unsigned style = transparentIndex == 0 ? 0xF0u : 0x00u;
    const auto font = static_cast<std::uint8_t>(fontSizeIndex + 1);
    if (font < 7) {
        style += font;
    }
    return static_cast<std::uint8_t>(style);
}

std::uint8_t SpiStyleByte(const CommandInfo& command, int count, int transparentIndex,
                          std::uint8_t baseStyle) {
    const int per = std::max(command.bytesPerChar, 1);
    // Only counts of charOffset and above reach here for the edit commands; the modulo keeps
    // the nibble defined for any count all the same.
    const int chars = (count - command.charOffset) / per;
    const unsigned n = static_cast<unsigned>(((chars % 16) + 16) % 16);
    const unsigned transparentBit = transparentIndex == 0 ? 0x08u : 0x00u;
    return static_cast<std::uint8_t>((n << 4) | transparentBit | (baseStyle & 0x07u));
}

BuildResult BuildCommandFrame(const CommandFields& fields, CommandFrame& frame, DataStore& store) {
    const CommandInfo* command = CommandAt(fields.commandIndex);
    const CommandId id = CommandCodeForIndex(fields.commandIndex);
    const FrameLayout layout = command ? command->layout : FrameLayout::Clear;
    const std::uint8_t baseStyle = BaseStyleByte(fields.transparentIndex, fields.fontSizeIndex);
    const std::uint16_t x = ReadCoordinate(fields.xText);
    const std::uint16_t y = ReadCoordinate(fields.yText);
    const int count = ParseHexBytes(fields.dataText, store.data());

    const int length = count + HeaderLength(layout);

    frame[0] = kStartByte;
    frame[1] = static_cast<std::uint8_t>(length);
    frame[2] = id;
    // Every position between the command code and the checksum belongs to this build, so a
    // fixed layout given another data count than its own never sends stale bytes.
    std::fill(frame.begin() + 3, frame.begin() + length, std::uint8_t{0});

    const auto putData = [&](int first) {
        std::copy_n(store.begin(), count, frame.begin() + first);
    };
    const bool spi = fields.lcdsType == LcdsType::Spi;
    switch (layout) {
        case FrameLayout::Clear:
            break;
        case FrameLayout::PairParam:
            std::copy_n(store.begin(), std::min(count, 2), frame.begin() + 3);
            break;
        case FrameLayout::SingleParam:
            std::copy_n(store.begin(), std::min(count, 1), frame.begin() + 3);
            break;
        case FrameLayout::Glyph:
            PutCoordinates(frame, x, y);
            frame[7] = baseStyle;
            putData(8);
            break;
        case FrameLayout::Text:
            PutCoordinates(frame, x, y);
            frame[7] =
                spi ? SpiStyleByte(*command, count, fields.transparentIndex, baseStyle) : baseStyle;
            putData(8);
            break;
        case FrameLayout::Shape:
            PutCoordinates(frame, x, y);
            putData(7);
            break;
        case FrameLayout::EditText:
            PutCoordinates(frame, x, y);
            putData(7);
            // The style byte takes the place of the fifth data byte. With four data bytes or
            // fewer that place is the checksum or lies beyond the frame: no style byte then.
            if (const int at = HeaderLength(layout) + kEditStyleIndex; at < length) {
                frame[static_cast<std::size_t>(at)] =
                    spi ? SpiStyleByte(*command, count, fields.transparentIndex, baseStyle)
                        : baseStyle;
            }
            break;
    }

    const std::uint8_t checksum = FrameChecksum(frame.data(), length);
    frame[static_cast<std::size_t>(length)] = checksum;

    BuildResult result;
    result.frameLength = length + 1;
    result.count = count;
    result.checksum = checksum;
    result.lenghText = LowerHex(static_cast<unsigned>(length));
    result.checkSumText = LowerHex(checksum);
    return result;
}

int TranscriptBytes(CommandFrame& frame, int frameLength, LcdsType lcdsType) {
    if (lcdsType != LcdsType::Spi && lcdsType != LcdsType::I2c) {
        return frameLength;
    }
    // Bytes 2 to L-1: from the command code up to the byte before the checksum.
    const int shown = frameLength - 3;
    if (shown <= 0) {
        return 0;
    }
    std::copy(frame.begin() + 2, frame.begin() + 2 + shown, frame.begin());
    return shown;
}

std::string LowerHex(unsigned value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0x0F]);
        value >>= 4;
    } while (value != 0);
    return text;
}

}  // namespace glassbench::protocol
