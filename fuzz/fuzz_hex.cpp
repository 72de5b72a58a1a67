// The hex text parser and formatter on their own. Parsing never refuses a text, so the checks
// are of what it must agree with: the text up to its first NUL, the same text with a blank
// added at either end or its letters in the other case, or cut in pieces, and the formatter,
// whose text parses back to the bytes it was made from.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "protocol/HexText.h"

using namespace glassbench::protocol;

namespace {

constexpr std::uint8_t kUntouched = 0xA5;

struct Parsed {
    int count = 0;
    std::array<std::uint8_t, kMaxDataBytes + 8> store{};

    explicit Parsed(std::string_view text) {
        store.fill(kUntouched);
        count = ParseHexBytes(text, store.data());
        FUZZ_CHECK(count >= 0 && count <= kMaxDataBytes);
        for (std::size_t i = static_cast<std::size_t>(count); i < store.size(); ++i) {
            FUZZ_CHECK(store[i] == kUntouched);
        }
    }
    bool operator==(const Parsed& other) const {
        return count == other.count &&
               std::equal(store.begin(), store.begin() + count, other.store.begin());
    }
};

char SwapCase(char c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<char>(c - 'a' + 'A');
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<char>(c - 'A' + 'a');
    }
    return c;
}

// "XY " for each byte, upper-case digits.
void CheckFormat(const std::string& text, const std::uint8_t* bytes, int n) {
    static constexpr std::string_view kDigits = "0123456789ABCDEF";
    FUZZ_CHECK(text.size() == static_cast<std::size_t>(n) * 3);
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i) * 3;
        FUZZ_CHECK(text[at] == kDigits[bytes[i] >> 4] && text[at + 1] == kDigits[bytes[i] & 0xF] &&
                   text[at + 2] == ' ');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Parsed parsed(text);

    for (const char c : text) {
        const int value = HexDigitValue(c);
        const bool digit =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        FUZZ_CHECK(digit ? value >= 0 && value < 16 : value == -1);
    }
    // A C string ends at its NUL; the end of a text counts as a non-digit, as a blank does.
    FUZZ_CHECK(Parsed(text.substr(0, text.find('\0'))) == parsed);
    FUZZ_CHECK(Parsed(text.substr(0, text.find('\0')) + " ") == parsed);
    FUZZ_CHECK(Parsed(" " + text) == parsed);
    std::string swapped = text;
    for (char& c : swapped) {
        c = SwapCase(c);
    }
    FUZZ_CHECK(Parsed(swapped) == parsed);

    // In three pieces, cut where its first two bytes say, the text reads as it does whole
    // (without the 55-byte limit), and the first 55 of those bytes are the Data field's.
    const std::vector<std::uint8_t> whole = ParseHexStream(text);
    FUZZ_CHECK(whole.size() >= static_cast<std::size_t>(parsed.count));
    FUZZ_CHECK(
        std::equal(parsed.store.begin(), parsed.store.begin() + parsed.count, whole.begin()));
    if (size >= 2) {
        const std::size_t first = data[0] % (size + 1);
        const std::size_t second = first + data[1] % (size - first + 1);
        HexStreamParser parser;
        std::vector<std::uint8_t> pieces;
        const std::string_view view = text;
        const bool goesOn = parser.Take(view.substr(0, first), pieces);
        const bool goesOn2 = parser.Take(view.substr(first, second - first), pieces);
        const bool goesOn3 = parser.Take(view.substr(second), pieces);
        parser.Finish(pieces);
        FUZZ_CHECK(pieces == whole);
        FUZZ_CHECK(goesOn3 == (text.find('\0') == std::string::npos));
        FUZZ_CHECK((goesOn || !goesOn2) && (goesOn2 || !goesOn3));
    }

    // What is formatted parses back to the same bytes.
    const std::string formatted = FormatHexBytes(parsed.store.data(), parsed.count);
    CheckFormat(formatted, parsed.store.data(), parsed.count);
    FUZZ_CHECK(Parsed(formatted) == parsed);

    // Any bytes at all, the raw input among them, format and parse back, the first 55 of them.
    const int n = static_cast<int>(std::min<std::size_t>(size, 200));
    const std::string raw = FormatHexBytes(data, n);
    CheckFormat(raw, data, n);
    const Parsed back(raw);
    FUZZ_CHECK(back.count == std::min(n, kMaxDataBytes));
    FUZZ_CHECK(std::equal(back.store.begin(), back.store.begin() + back.count, data));
    FUZZ_CHECK(FormatHexBytes(data, 0).empty() && FormatHexBytes(data, -1).empty());
    return 0;
}
