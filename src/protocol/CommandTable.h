// The display module's twenty commands, in the order the Command list shows them.
//
// Everything that needs to know about a command (the list text, the command code on the wire,
// the preset section and the byte layout of its frame) reads this one table, so the window,
// the command line, the preset reader and the virtual module can never disagree. The list is
// unsorted: a list index is a table index.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace glassbench::protocol {

using CommandId = std::uint8_t;

// How a command's fields are laid out between the command code and the checksum.
enum class FrameLayout { Clear, PairParam, SingleParam, Glyph, Text, Shape, EditText };

// Bytes before a layout's data bytes: the start byte, L and the command code, then X and Y
// (and the style byte of Glyph and Text) where the layout has them. L = header + data count.
int HeaderLength(FrameLayout layout);

// An edit text's style byte stands where its fifth data byte would (the data index): with four
// data bytes or fewer the frame has no style byte.
inline constexpr int kEditStyleIndex = 4;

// The "LCDs Type" list by position. Anything else (no selection) behaves as Uart.
enum class LcdsType { Uart = 0, Spi = 1, I2c = 2, Usb = 3 };

LcdsType LcdsTypeFromIndex(int index);

struct CommandInfo {
    std::string_view listText;
    CommandId id;
    std::string_view section;
    FrameLayout layout;
    // Data bytes the command takes; -1 where any count from 0 to 55 is allowed.
    int dataBytes;
    // For the string commands, how the SPI style byte counts characters: the first
    // `charOffset` data bytes are parameters, then every `bytesPerChar` bytes are one character.
    int charOffset;
    int bytesPerChar;
};

inline constexpr int kCommandCount = 20;

inline constexpr std::array<CommandInfo, kCommandCount> CommandTable{{
    {"Clear Screen", 0x80, "ClearScreen", FrameLayout::Clear, 1, 0, 0},
    {"Set Background Color", 0x81, "SetBGColor", FrameLayout::PairParam, 2, 0, 0},
    {"Set Foreground Color", 0x82, "SetFGColor", FrameLayout::PairParam, 2, 0, 0},
    {"Set LCD Brightness", 0x83, "SetLCDBrightness", FrameLayout::SingleParam, 1, 0, 0},
    {"Set Baud", 0x84, "SetBaud", FrameLayout::SingleParam, 1, 0, 0},
    {"Ascii Display", 0x85, "AsciiDisplay", FrameLayout::Glyph, -1, 0, 0},
    {"Ascii String Display", 0x86, "AsciiStringDisplay", FrameLayout::Text, -1, 0, 1},
    {"Chinese Display", 0x87, "ChineseDisplay", FrameLayout::Glyph, -1, 0, 0},
    {"Chinese String Display", 0x88, "ChineseStringDisplay", FrameLayout::Text, -1, 0, 2},
    {"Icon Display", 0x89, "IconDisplay", FrameLayout::Shape, -1, 0, 0},
    {"Draw Point", 0x8A, "DrawPoint", FrameLayout::Shape, -1, 0, 0},
    {"Draw Line", 0x8B, "DrawLine", FrameLayout::Shape, -1, 0, 0},
    {"Draw Rectangle", 0x8C, "DrawRectangle", FrameLayout::Shape, -1, 0, 0},
    {"Draw Filled Rectangle", 0x8D, "DrawFilledRectangle", FrameLayout::Shape, -1, 0, 0},
    {"Draw Circle", 0x8E, "DrawCircle", FrameLayout::Shape, -1, 0, 0},
    {"Draw Filled Circle", 0x8F, "DrawFilledCircle", FrameLayout::Shape, -1, 0, 0},
    {"Draw Box", 0x9A, "DrawBox", FrameLayout::Shape, -1, 0, 0},
    {"Draw Button", 0x9B, "DrawButton", FrameLayout::Shape, -1, 0, 0},
    {"Draw Edit Ascii String", 0x9C, "DrawEditAscii", FrameLayout::EditText, -1, 5, 1},
    {"Draw Edit Chinese String", 0x9D, "DrawEditChinese", FrameLayout::EditText, -1, 5, 2},
}};

// The command code for a list index: 0x80 + index up to 15, then ten codes are skipped
// (0x90..0x99 belong to no command). Computed on the index's low byte, modulo 256.
CommandId CommandCodeForIndex(int index);

// The table row for an index, or nullptr when the index names no command.
const CommandInfo* CommandAt(int index);

// The row whose command code is `id`, or nullptr.
const CommandInfo* CommandById(CommandId id);

// The index of the command named by its list text or its section name (exact spelling).
std::optional<int> FindCommand(std::string_view name);

}  // namespace glassbench::protocol
