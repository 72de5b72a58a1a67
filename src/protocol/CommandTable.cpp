#include "protocol/CommandTable.h"

namespace glassbench::protocol {

int HeaderLength(FrameLayout layout) {
    switch (layout) {
        case FrameLayout::Glyph:
        case FrameLayout::Text:
            return 8;
        case FrameLayout::Shape:
        case FrameLayout::EditText:
            return 7;
        case FrameLayout::Clear:
        case FrameLayout::PairParam:
        case FrameLayout::SingleParam:
            break;
    }
    return 3;
}

LcdsType LcdsTypeFromIndex(int index) {
    switch (index) {
        case 1:
            return LcdsType::Spi;
        case 2:
            return LcdsType::I2c;
        case 3:
            return LcdsType::Usb;
        default:
            return LcdsType::Uart;
    }
}

CommandId CommandCodeForIndex(int index) {
    const auto low = static_cast<std::uint8_t>(index);
    const unsigned code = low <= 15 ? low + 0x80u : low + 10u + 0x80u;
    return static_cast<CommandId>(code & 0xFFu);
}

const CommandInfo* CommandAt(int index) {
    if (index < 0 || index >= kCommandCount) {
        return nullptr;
    }
    return &CommandTable[static_cast<std::size_t>(index)];
}

const CommandInfo* CommandById(CommandId id) {
    for (const auto& row : CommandTable) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

std::optional<int> FindCommand(std::string_view name) {
    for (int i = 0; i < kCommandCount; ++i) {
        const auto& row = CommandTable[static_cast<std::size_t>(i)];
        if (row.listText == name || row.section == name) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace glassbench::protocol
