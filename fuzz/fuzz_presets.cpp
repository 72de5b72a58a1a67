// Arbitrary file contents through the preset look-up: it must never crash, never read past
// the text, and only ever give a single-line value of at most 99 characters, taken from the
// text. A file kept with CRLF line ends, or with a byte-order mark, reads as the same file with
// LF and without the mark.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "presets/PresetFile.h"

using namespace glassbench::presets;

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string WithCrlf(std::string_view text) {
    std::string crlf;
    for (const char c : text) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return crlf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string crlf = WithCrlf(text);
    // A byte-order mark (UTF-8 or UTF-16) turns the text into Latin-1, as Windows reads such
    // files; plain ASCII reads the same with or without a UTF-8 mark.
    const bool plain =
        text.find_first_of(std::string_view("\xEF\xFE\xFF\0", 4)) == std::string_view::npos &&
        std::all_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::string bom = std::string(kBom) + std::string(text);
    for (int index = -1; index <= 20; index += 7) {
        for (const PresetKey& key : PresetKeys) {
            const std::string_view section = PresetSectionFor(index);
            const auto value = LookupIniValue(text, section, key.key);
            if (value) {
                FUZZ_CHECK(value->size() <= kMaxValueLength);
                FUZZ_CHECK(value->find_first_of("\r\n") == std::string::npos);
                FUZZ_CHECK(!plain || text.find(*value) != std::string_view::npos);
            }
            // One key a section, chosen by the input, keeps the run quick; runs vary the key.
            if (&key == &PresetKeys[size % PresetKeys.size()]) {
                FUZZ_CHECK(LookupIniValue(crlf, section, key.key) == value);
                FUZZ_CHECK(!plain || LookupIniValue(bom, section, key.key) == value);
            }
        }
    }
    // Names taken from the input itself reach the matching code with odd bytes too.
    if (size > 2) {
        const std::size_t cut = data[0] % size;
        (void)LookupIniValue(text, text.substr(1, cut), text.substr(cut));
    }
    // Leading white space and a sign, then digits: a number written out reads back.
    const int number = ReadLeadingInt(text);
    FUZZ_CHECK(ReadLeadingInt(" \t" + std::string(text)) == number);
    FUZZ_CHECK(ReadLeadingInt(std::to_string(number)) == number);
    return 0;
}
