// Arbitrary file contents through the preset look-up: it must never crash, never read past
// the text, and only ever give a single-line value of at most 99 characters.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "presets/PresetFile.h"

using namespace glassbench::presets;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int index = -1; index <= 20; index += 7) {
        for (const PresetKey& key : PresetKeys) {
            const auto value = LookupIniValue(text, PresetSectionFor(index), key.key);
            if (value && (value->size() > kMaxValueLength ||
                          value->find_first_of("\r\n") != std::string::npos)) {
                std::abort();
            }
        }
    }
    // Names taken from the input itself reach the matching code with odd bytes too.
    if (size > 2) {
        const std::size_t cut = data[0] % size;
        (void)LookupIniValue(text, text.substr(1, cut), text.substr(cut));
    }
    (void)ReadLeadingInt(text);
    return 0;
}
