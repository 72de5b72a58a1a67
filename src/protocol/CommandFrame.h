// Building one command frame from the operator's fields.
//
// A frame is 0xAA, the length byte L (the number of bytes before the checksum), the command
// code, the layout's fields and the 8-bit sum of bytes 0 to L-1. Coordinates go high byte
// first; the style byte packs Transparent and FontSize, and for the string commands on an SPI
// display it carries the character count instead of the transparency nibble.
//
// The frame buffer and the data-byte store outlive one build (the window keeps them, and
// the reply lands in the second half of the buffer), but every byte of a frame is written by
// the build that produced it: positions a fixed layout does not define are zero, and the
// checksum always stands at byte L. No frame can carry bytes left over from an earlier build.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/CommandTable.h"

namespace glassbench::protocol {

inline constexpr int kFrameBufferSize = 256;
inline constexpr int kDataStoreSize = 128;
// The module's reply is read into the second half of the frame buffer.
inline constexpr int kReplyOffset = 128;
inline constexpr int kReplyLength = 5;
inline constexpr std::uint8_t kStartByte = 0xAA;

using CommandFrame = std::array<std::uint8_t, kFrameBufferSize>;
using DataStore = std::array<std::uint8_t, kDataStoreSize>;

struct CommandFields {
    int commandIndex = 0;
    std::string xText = "0";
    std::string yText = "0";
    std::string dataText = "0";
    int transparentIndex = 0;  // 0 "Yes", 1 "No", -1 none
    int fontSizeIndex = 0;     // 0..5 for "8x16".."32x32", -1 none
    LcdsType lcdsType = LcdsType::Uart;
};

struct BuildResult {
    int frameLength = 0;  // L + 1, the bytes to send
    int count = 0;        // data bytes parsed
    std::uint8_t checksum = 0;
    std::string lenghText;     // L with "%x"
    std::string checkSumText;  // checksum with "%x"
};

// Sum of the first n bytes modulo 256; n is taken modulo 256 and 0 gives 0.
std::uint8_t FrameChecksum(const std::uint8_t* frame, int n);

// A coordinate text read as a C-style signed decimal, kept to its low 16 bits.
std::uint16_t ReadCoordinate(std::string_view text);

// The style byte for any LCDs type: 0xF0 for Transparent "Yes", plus FontSize index + 1.
std::uint8_t BaseStyleByte(int transparentIndex, int fontSizeIndex);

// The style byte of a string command on an SPI display: character count in the high nibble,
// transparency in bit 3, the font value in bits 2 to 0.
std::uint8_t SpiStyleByte(const CommandInfo& command, int count, int transparentIndex,
                          std::uint8_t baseStyle);

// Builds the frame for `fields` into `frame` and the parsed data bytes into `store`.
// An index outside 0..19 gives that index's code with a zero-filled `Clear` body.
BuildResult BuildCommandFrame(const CommandFields& fields, CommandFrame& frame, DataStore& store);

// What the "Data Send:" transcript shows of a frame of `frameLength` bytes. For SPI and I2C
// displays the bytes from the command code up to the checksum are moved down to the start of
// the buffer; otherwise the whole frame already stands there. Returns how many bytes at the
// start of `frame` the transcript shows.
int TranscriptBytes(CommandFrame& frame, int frameLength, LcdsType lcdsType);

// Lower-case hex without leading zeros, as the "Lengh" and "CheckSum" fields show values.
std::string LowerHex(unsigned value);

}  // namespace glassbench::protocol
