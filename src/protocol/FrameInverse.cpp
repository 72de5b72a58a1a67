#include "protocol/FrameInverse.h"

#include <algorithm>
#include <vector>

#include "protocol/FrameDecode.h"
#include "protocol/FrameRules.h"
#include "protocol/HexText.h"

namespace glassbench::protocol {

namespace {

// The plainest fields that read back as the frame's fields, before the check by building.
std::optional<CommandFields> PlainestFields(const std::uint8_t* bytes, int n) {
    if (n < 1 || bytes[0] != kStartByte || !IsWholeFrame(bytes, n)) {
        return std::nullopt;
    }
    const DecodedFrame frame = DecodeFrame(bytes, n);
    if (frame.command == nullptr || !frame.checksumOk ||
        frame.length < HeaderLength(frame.command->layout)) {
        return std::nullopt;
    }
    CommandFields fields;
    fields.commandIndex = static_cast<int>(frame.command - CommandTable.data());
    std::vector<std::uint8_t> data = frame.data;
    if (frame.HasFields()) {
        fields.xText = std::to_string(*frame.x);
        fields.yText = std::to_string(*frame.y);
    }
    if (frame.style) {
        fields.transparentIndex = frame.style->transparent ? 0 : 1;
        fields.fontSizeIndex = frame.style->fontValue - 1;
        fields.lcdsType = frame.style->spiForm ? LcdsType::Spi : LcdsType::Uart;
    }
    if (frame.command->layout == FrameLayout::EditText && frame.style) {
        // The style byte stands in the place of this data byte, which is never sent.
        data[kEditStyleIndex] = 0;
    }
    if (frame.command->layout == FrameLayout::Clear) {
        // Clear Screen sends zeros whatever its data bytes are.
        std::fill(data.begin(), data.end(), std::uint8_t{0});
    }
    fields.dataText = FormatHexLine(data);
    return fields;
}

}  // namespace

std::optional<CommandFields> FieldsForFrame(const std::uint8_t* bytes, int n) {
    const auto fields = PlainestFields(bytes, n);
    if (!fields) {
        return std::nullopt;
    }
    CommandFrame frame{};
    DataStore store{};
    const BuildResult built = BuildCommandFrame(*fields, frame, store);
    if (built.frameLength != n || !std::equal(bytes, bytes + n, frame.begin())) {
        return std::nullopt;
    }
    return fields;
}

}  // namespace glassbench::protocol
