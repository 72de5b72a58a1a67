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

int ParseHexBytes(std::string_view text, std::uint8_t* store) {
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    int count = 0;
    std::size_t pos = 0;
    while (pos < text.size() && count < kMaxDataBytes) {
        if (text[pos] == ' ') {
            ++pos;
            continue;
        }
        const int high = HexDigitValue(text[pos]);
        // The end of the text is a non-digit like any other.
        const int low = pos + 1 < text.size() ? HexDigitValue(text[pos + 1]) : -1;
        store[count++] = static_cast<std::uint8_t>((16 * high + low) & 0xFF);
        pos += 2;
    }
    return count;
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

}  // namespace glassbench::protocol
