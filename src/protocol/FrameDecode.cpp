#include "protocol/FrameDecode.h"

#include <algorithm>
#include <array>

#include "protocol/CommandFrame.h"
#include "protocol/FrameRules.h"
#include "protocol/HexText.h"

namespace glassbench::protocol {

namespace {

// The font value's size, by value; 7 and above name no size.
constexpr std::array<std::string_view, 8> kFontSizes{"none",  "8x16",  "12x24", "16x32",
                                                     "16x16", "24x24", "32x32", "?"};

std::uint16_t Word(const std::uint8_t* bytes, int at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

// "[41 42]" for data[first] up to data[last - 1], clipped to the data.
std::string Field(const std::vector<std::uint8_t>& data, std::size_t first, std::size_t last) {
    last = std::min(last, data.size());
    // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) on "[" + string.
    std::string text = "[";
    if (first < last) {
        text += FormatHexLine(data.data() + first, static_cast<int>(last - first));
    }
    text += ']';
    return text;
}

void ReadLayoutFields(const std::uint8_t* bytes, DecodedFrame& frame) {
    const int length = frame.length;
    const CommandInfo* command = frame.command;
    const int header = command != nullptr ? HeaderLength(command->layout) : 3;
    const bool whole = length >= header;
    const int first = whole ? header : 3;
    frame.data.assign(bytes + first, bytes + length);
    if (command == nullptr) {
        return;
    }
    frame.lengthProblem = LengthProblem(*command, length, Reading::Strict);
    if (!whole) {
        return;
    }
    if (header > 3) {
        frame.x = Word(bytes, 3);
        frame.y = Word(bytes, 5);
    }
    const bool strings =
        command->layout == FrameLayout::Text || command->layout == FrameLayout::EditText;
    if (command->layout == FrameLayout::Glyph || command->layout == FrameLayout::Text) {
        frame.style = DecodeStyle(bytes[7], strings);
    } else if (command->layout == FrameLayout::EditText &&
               frame.data.size() > static_cast<std::size_t>(kEditStyleIndex)) {
        frame.style = DecodeStyle(frame.data[kEditStyleIndex], strings);
    }
}

}  // namespace

StyleFields DecodeStyle(std::uint8_t style, bool spiPossible) {
    const int high = style >> 4;
    const int low = style & 0x0F;
    StyleFields fields;
    fields.byte = style;
    if (((high == 0xF || high == 0) && low <= 6) || !spiPossible) {
        fields.transparent = high == 0xF;
        fields.fontValue = low;
    } else {
        fields.spiForm = true;
        fields.characters = high;
        fields.transparent = (low & 0x08) != 0;
        fields.fontValue = low & 0x07;
    }
    fields.fontSize = kFontSizes[static_cast<std::size_t>(std::min(fields.fontValue, 7))];
    return fields;
}

std::string StyleText(const StyleFields& style) {
    std::string text = "style=" + FormatHexByte(style.byte) + " (";
    if (style.spiForm) {
        text += "spi chars=" + std::to_string(style.characters) + " ";
    }
    text += "transparent=";
    text += style.transparent ? "yes" : "no";
    text += " font=";
    text += style.fontSize;
    text += ')';
    return text;
}

DecodedFrame DecodeFrame(const std::uint8_t* bytes, int n) {
    DecodedFrame frame;
    frame.problems = CheckFrame(bytes, n, Reading::Strict).problems;
    if (!IsWholeFrame(bytes, n)) {
        frame.length = n >= 2 ? bytes[1] : -1;
        return frame;
    }
    frame.length = bytes[1];
    frame.id = bytes[2];
    frame.command = CommandById(bytes[2]);
    frame.checksum = bytes[frame.length];
    frame.sum = FrameChecksum(bytes, frame.length);
    frame.checksumOk = frame.sum == *frame.checksum;
    ReadLayoutFields(bytes, frame);
    return frame;
}

std::string_view LayoutName(FrameLayout layout) {
    switch (layout) {
        case FrameLayout::Clear:
            return "Clear";
        case FrameLayout::PairParam:
            return "PairParam";
        case FrameLayout::SingleParam:
            return "SingleParam";
        case FrameLayout::Glyph:
            return "Glyph";
        case FrameLayout::Text:
            return "Text";
        case FrameLayout::Shape:
            return "Shape";
        case FrameLayout::EditText:
            return "EditText";
    }
    return "?";
}

std::string FieldsText(const DecodedFrame& frame) {
    std::string text;
    const auto& data = frame.data;
    if (frame.HasFields()) {
        text += "x=" + std::to_string(*frame.x) + " y=" + std::to_string(*frame.y) + " ";
    }
    if (frame.command != nullptr && frame.command->layout == FrameLayout::EditText &&
        frame.HasFields()) {
        text += "params=" + Field(data, 0, kEditStyleIndex);
        if (frame.style) {
            text += " " + StyleText(*frame.style) +
                    " data=" + Field(data, kEditStyleIndex + 1, data.size());
        }
    } else {
        if (frame.style) {
            text += StyleText(*frame.style) + " ";
        }
        text += "data=" + Field(data, 0, data.size());
    }
    if (frame.checksum) {
        text += " checksum=" + FormatHexByte(*frame.checksum);
        text += frame.checksumOk ? " good" : " bad (sum " + FormatHexByte(frame.sum) + ")";
    }
    return text;
}

}  // namespace glassbench::protocol
