#include "protocol/HexText.h"

namespace glassbench::protocol {

int HexDigitValue(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= '0' && u <= '9') {
        return u - '0';
    }
    if (u >= 'A' && u <= 'F') {
        return u - 'A' + 10;
    }
    if (u >= 'a' && u <= 'f') {
        return u - 'a' + 10;
    }
    return -1;
}

namespace {

std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// The pair rule one character at a time, for a text whole or in pieces: a blank where a pair
// would begin is skipped; any other character begins a pair, and the next one, whatever it is,
// ends it. Returns whether `c` ends a pair, whose first character `begun` held.
bool StepPair(PairStart& begun, char c) {
    if (begun.open) {
        begun.open = false;
        return true;
    }
    if (c != ' ') {
        begun = {true, c};
    }
    return false;
}

// Calls `take` with each pair of the text, in order, until it returns false: the pair's first
// character and its second (NUL at the end of the text).
template <class Take>
void ForEachPair(std::string_view text, Take take) {
    PairStart begun;
    for (const char c : text) {
        if (StepPair(begun, c) && !take(begun.first, c)) {
            return;
        }
    }
    if (begun.open) {
        take(begun.first, '\0');
    }
}

std::uint8_t PairValue(char high, char low) {
    // The end of the text (NUL here) is a non-digit like any other.
    return static_cast<std::uint8_t>((16 * HexDigitValue(high) + HexDigitValue(low)) & 0xFF);
}

}  // namespace

int ParseHexBytes(std::string_view text, std::uint8_t* store) {
    int count = 0;
    ForEachPair(UpToNul(text), [&](char high, char low) {
        store[count++] = PairValue(high, low);
        return count < kMaxDataBytes;
    });
    return count;
}

std::vector<std::uint8_t> ParseHexStream(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    HexStreamParser parser;
    parser.Take(text, bytes);
    parser.Finish(bytes);
    return bytes;
}

bool HexStreamParser::Take(std::string_view piece, std::vector<std::uint8_t>& bytes) {
    if (ended_) {
        return false;
    }
    const std::string_view text = UpToNul(piece);
    ended_ = text.size() < piece.size();
    for (const char c : text) {
        if (StepPair(begun_, c)) {
            bytes.push_back(PairValue(begun_.first, c));
        }
    }
    return !ended_;
}

void HexStreamParser::Finish(std::vector<std::uint8_t>& bytes) {
    if (begun_.open) {
        bytes.push_back(PairValue(begun_.first, '\0'));
        begun_.open = false;
    }
}

std::optional<BytePattern> ParseBytePattern(std::string_view text) {
    BytePattern pattern;
    bool good = true;
    ForEachPair(text, [&](char high, char low) {
        if (high == '?' && low == '?') {
            pattern.emplace_back();
        } else if (HexDigitValue(high) >= 0 && HexDigitValue(low) >= 0) {
            pattern.emplace_back(PairValue(high, low));
        } else {
            good = false;
        }
        return good;
    });
    if (!good) {
        return std::nullopt;
    }
    return pattern;
}

std::optional<std::vector<std::uint8_t>> ParseHexPairs(std::string_view text) {
    const auto pattern = ParseBytePattern(text);
    if (!pattern) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (const auto& byte : *pattern) {
        if (!byte) {
            return std::nullopt;
        }
        bytes.push_back(*byte);
    }
    return bytes;
}

bool MatchesBytePattern(const BytePattern& pattern, const std::uint8_t* bytes, int n) {
    if (n < 0 || static_cast<std::size_t>(n) != pattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] && *pattern[i] != bytes[i]) {
            return false;
        }
    }
    return true;
}

std::string FormatBytePattern(const BytePattern& pattern) {
    std::string text;
    for (const auto& byte : pattern) {
        if (!text.empty()) {
            text += ' ';
        }
        text += byte ? FormatHexByte(*byte) : "??";
    }
    return text;
}

std::string FormatHexBytes(const std::uint8_t* bytes, int n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    if (n <= 0) {
        return text;
    }
    text.reserve(static_cast<std::size_t>(n) * 3);
    for (int i = 0; i < n; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
        text += ' ';
    }
    return text;
}

std::string FormatHexLine(const std::uint8_t* bytes, int n) {
    std::string text = FormatHexBytes(bytes, n);
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::string FormatHexLine(const std::vector<std::uint8_t>& bytes) {
    return FormatHexLine(bytes.data(), static_cast<int>(bytes.size()));
}

std::string FormatHexByte(std::uint8_t byte) {
    return FormatHexLine(&byte, 1);
}

}  // namespace glassbench::protocol
