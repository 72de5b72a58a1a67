#include "protocol/FrameDecode.h"

#include <algorithm>
#include <array>

#include "protocol/CommandFrame.h"
#include "protocol/HexText.h"

namespace glassbench::protocol {

namespace {

// The font value's size, by value; 7 and above name no size.
constexpr std::array<std::string_view, 8> kFontSizes{"none",  "8x16",  "12x24", "16x32",
                                                     "16x16", "24x24", "32x32", "?"};

// The style byte of an edit text stands where its fifth data byte would.
constexpr int kEditStyleIndex = 4;

std::string HexByte(std::uint8_t byte) {
    return FormatHexLine(&byte, 1);
}

std::string DataBytesText(int count) {
    return std::to_string(count) + (count == 1 ? " data byte" : " data bytes");
}

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

// Why a frame whose header is whole does not have the data count its layout takes, or "".
std::string DataCountProblem(const CommandInfo& command, int count) {
    if (count > kMaxDataBytes) {
        return DataBytesText(count) + ", more than " + std::to_string(kMaxDataBytes);
    }
    if (command.dataBytes >= 0 && count != command.dataBytes) {
        return DataBytesText(count) + " where the command takes " +
               std::to_string(command.dataBytes);
    }
    if (command.layout == FrameLayout::EditText && count <= kEditStyleIndex) {
        // Then the frame has no place for the style byte (see BuildCommandFrame).
        return DataBytesText(count) + " where an edit text takes " +
               std::to_string(kEditStyleIndex + 1) + " or more";
    }
    return {};
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
    if (!whole) {
        frame.lengthProblem = "length " + std::to_string(length) + " is shorter than its " +
                              std::to_string(header) + "-byte header";
        return;
    }
    frame.lengthProblem = DataCountProblem(*command, length - header);
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
        fields.fontSize = kFontSizes[static_cast<std::size_t>(std::min(low, 7))];
        return fields;
    }
    fields.spiForm = true;
    fields.characters = high;
    fields.transparent = (low & 0x08) != 0;
    fields.fontSize = kFontSizes[static_cast<std::size_t>(low & 0x07)];
    return fields;
}

std::string StyleText(const StyleFields& style) {
    std::string text = "style=" + HexByte(style.byte) + " (";
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
    if (n < 2) {
        frame.problems.emplace_back("no length byte");
        return frame;
    }
    frame.length = bytes[1];
    const int length = frame.length;
    if (length < 3) {
        frame.problems.push_back("length " + std::to_string(length) + " holds no command");
        return frame;
    }
    if (n != length + 1) {
        frame.problems.push_back(std::to_string(n) + " bytes where length " +
                                 std::to_string(length) + " makes " + std::to_string(length + 1));
        return frame;
    }
    frame.id = bytes[2];
    frame.command = CommandById(bytes[2]);
    frame.checksum = bytes[length];
    frame.sum = FrameChecksum(bytes, length);
    frame.checksumOk = frame.sum == *frame.checksum;
    ReadLayoutFields(bytes, frame);

    if (!frame.checksumOk) {
        frame.problems.push_back("bad checksum (sum " + HexByte(frame.sum) + ")");
    }
    if (frame.command == nullptr) {
        frame.problems.push_back("unknown command " + HexByte(bytes[2]));
    }
    if (!frame.lengthProblem.empty()) {
        frame.problems.push_back(frame.lengthProblem);
    }
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
        text += " checksum=" + HexByte(*frame.checksum);
        text += frame.checksumOk ? " good" : " bad (sum " + HexByte(frame.sum) + ")";
    }
    return text;
}

}  // namespace glassbench::protocol
