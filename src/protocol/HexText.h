// Conversions between bytes and the hexadecimal text the operator types and reads.
//
// The Data field is read pair by pair: a blank where a pair would begin is skipped, and any
// other character starts a pair whose second character is taken whatever it is. A character
// that is no hex digit (including the end of the text and every byte from 0x80 up) counts as
// -1 and still takes part in the byte's value, so no text is ever refused: '0' alone gives
// 0xFF and 'G1' gives 0xF1. The transcript text is each byte as two upper-case digits and a
// blank, with nothing between one rendering and the next.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glassbench::protocol {

// At most this many data bytes are taken from a Data text.
inline constexpr int kMaxDataBytes = 55;

// The value of one hex digit, or -1 for any other character.
int HexDigitValue(char c);

// Parses `text` into at most 55 bytes at the start of `store` and returns their number.
// `store` must have room for 55 bytes; nothing beyond the returned count is written.
// The text is single-byte; it ends at its first NUL, as a C string would.
int ParseHexBytes(std::string_view text, std::uint8_t* store);

// The same reading without the 55-byte limit: every byte the text holds, for the tools that take
// captured traffic rather than one frame's Data.
std::vector<std::uint8_t> ParseHexStream(std::string_view text);

// A pair of hex text begun: its first character, while the second has not come.
struct PairStart {
    bool open = false;
    char first = 0;
};

// ParseHexStream's reading of a text that comes in pieces (decode's standard input): the pieces
// give, one after another, the bytes the whole text gives, in order. Only the first character of
// a pair cut between two pieces is held back, until the next piece or the end.
class HexStreamParser {
  public:
    // Appends the bytes of the pairs `piece` completes to `bytes`. Returns false once the text
    // has ended at a NUL (this piece's or an earlier one's): nothing after it is read.
    bool Take(std::string_view piece, std::vector<std::uint8_t>& bytes);
    // The end of the text: a pair begun and not ended takes the end as its second character.
    void Finish(std::vector<std::uint8_t>& bytes);

  private:
    PairStart begun_;
    bool ended_ = false;
};

// The transcript text of the first `n` bytes: "AA 04 " style, 3n characters; empty for n <= 0.
std::string FormatHexBytes(const std::uint8_t* bytes, int n);

// The same text without its trailing blank, as a line of output shows bytes: "AA 04 80".
std::string FormatHexLine(const std::uint8_t* bytes, int n);
std::string FormatHexLine(const std::vector<std::uint8_t>& bytes);

// One byte as two upper-case digits: "2E".
std::string FormatHexByte(std::uint8_t byte);

// Bytes as a reply must be, each a known value or any value (nullopt).
using BytePattern = std::vector<std::optional<std::uint8_t>>;

// A pattern in the Data field's pairs-and-blanks layout, each pair two hex digits or "??".
// Unlike the Data field it is strict, since it judges a reply: any other pair, or a lone
// character at the end, gives nullopt.
std::optional<BytePattern> ParseBytePattern(std::string_view text);

// Bytes meant byte for byte: the same layout with two hex digits in every pair, and nullopt for
// anything else (a lone digit, any other character), unlike the Data field's forgiving reading.
std::optional<std::vector<std::uint8_t>> ParseHexPairs(std::string_view text);

// Whether the first `n` bytes are exactly as long as the pattern and match it.
bool MatchesBytePattern(const BytePattern& pattern, const std::uint8_t* bytes, int n);

// "AA 04 ?? 00 2E".
std::string FormatBytePattern(const BytePattern& pattern);

}  // namespace glassbench::protocol
