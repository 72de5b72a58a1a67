// Reading a frame back into its fields: what the tools that decode or watch traffic show, and
// what the virtual module prints for every frame it reads.
//
// The bytes are taken as they stand. L (byte 1) says where the checksum is and the command
// code (byte 2) which layout the bytes in between follow; each field is read from its fixed
// place: X and Y high byte first at bytes 3 to 6, the style byte of Glyph and Text at byte 7,
// an edit text's style byte at the place of its fifth data byte. Every byte after the layout's
// header up to the checksum is a data byte, so L = header + data count, as when the frame was
// built. Nothing is refused: whatever does not fit (a wrong checksum, an unknown code, a data
// count the layout does not take, a frame too short for its fields) becomes a short text in
// `problems`, as the frame rules name it in their strict reading (FrameRules.h), and the
// fields the bytes do hold are still given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/CommandTable.h"

namespace glassbench::protocol {

// The style byte's fields. The base form is 0xF0 for Transparent "Yes" plus the FontSize value
// (1-6, 0 for none); the SPI form of the string commands carries the character count in the
// high nibble, transparency in bit 3 and the font value in bits 2 to 0.
struct StyleFields {
    std::uint8_t byte = 0;
    bool spiForm = false;
    bool transparent = false;
    int fontValue = 0;          // 0 for none, 1-6 for the sizes, 7 and above for no size
    std::string_view fontSize;  // "none", "8x16" ... "32x32", or "?" for a value with no size
    int characters = 0;         // the SPI form only
};

// Reads the base form whenever the byte can be one (high nibble 0 or F, font value 0 to 6), and
// the SPI form otherwise if `spiPossible` (the string commands), else the base form anyway.
StyleFields DecodeStyle(std::uint8_t style, bool spiPossible);

// "style=2A (spi chars=2 transparent=yes font=12x24)".
std::string StyleText(const StyleFields& style);

struct DecodedFrame {
    int length = -1;                       // L, or -1 without a length byte
    std::optional<CommandId> id;           // the code at byte 2, where there is one
    const CommandInfo* command = nullptr;  // null for codes of no command (0x90-0x99 and more)
    std::optional<std::uint16_t> x, y;     // where the layout has them and the frame holds them
    std::optional<StyleFields> style;
    // From the end of the layout's header (from byte 3 when the frame is too short for the
    // header, or the command is unknown) up to the checksum. An edit text's style byte is
    // among them, at index 4.
    std::vector<std::uint8_t> data;
    std::optional<std::uint8_t> checksum;  // byte L, where the frame has it
    std::uint8_t sum = 0;                  // what byte L should be
    bool checksumOk = false;
    // Empty when L is what the command's layout takes in the strict reading; else why not.
    std::string lengthProblem;
    // Every problem: the checksum, the command code, the length.
    std::vector<std::string> problems;

    bool HasFields() const { return x.has_value(); }
};

// Decodes `n` bytes that start with the start byte and are meant to be one frame (L + 1
// bytes), as the module's scanner cuts them.
DecodedFrame DecodeFrame(const std::uint8_t* bytes, int n);

// The layout's name as the command table spells it ("Shape"), for machine-readable output.
std::string_view LayoutName(FrameLayout layout);

// The fields and the checksum as one line's words: "x=10 y=20 style=F1 (transparent=yes
// font=8x16) data=[41] checksum=88 good"; an edit text shows its four parameters, its style
// byte and the data after it ("params=[01 02 03 04] style=... data=[41 42]"); a bad checksum
// reads "checksum=2F bad (sum 2E)".
std::string FieldsText(const DecodedFrame& frame);

}  // namespace glassbench::protocol
