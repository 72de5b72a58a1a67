#include "presets/PresetFile.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <system_error>

#include "protocol/CommandTable.h"

namespace glassbench::presets {

namespace {

namespace fs = std::filesystem;

// A file this large is no preset file; reading it would only stall the window.
constexpr std::uintmax_t kMaxFileSize = 4u << 20;

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// Ctrl-Z too, which DOS editors put at the end of a file: Windows' INI reader takes it as a
// blank.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The value as the window's 100-byte buffer receives it from Windows: surrounding quotes
// dropped, cut to 99 characters. Windows drops the closing quote after the cut, and only when
// the quoted text with that quote fitted the buffer, so a quoted value of exactly 99
// characters loses its last one.
std::string CutValue(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.remove_prefix(1);
        const bool fitted = value.size() <= kMaxValueLength + 1;
        value = value.substr(0, kMaxValueLength);
        if (fitted) {
            value.remove_suffix(1);
        }
        return std::string(value);
    }
    return std::string(value.substr(0, kMaxValueLength));
}

// The window's fields hold one byte a character, Latin-1, and Windows' ANSI functions give a
// file that declares itself Unicode in those terms: '?' for each UTF-16 unit past U+00FF.
void AppendLatin1(std::string& text, char32_t c) {
    if (c >= 0x10000) {
        text += "??";  // two UTF-16 units
    } else {
        text += c < 0x100 ? static_cast<char>(c) : '?';
    }
}

struct Utf8Step {
    char32_t c;          // the character, or '?' for a bad sequence
    std::size_t length;  // bytes taken
};

// The UTF-8 character at the start of `bytes`. A bad sequence gives one '?' for its bytes up
// to the one that shows it bad, that one too if it is a continuation byte, as Windows'
// converter does.
Utf8Step NextUtf8(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    // The length a lead byte announces, and the range its second byte must be in: the
    // narrower ranges exclude overlong forms, surrogates and code points past U+10FFFF.
    const std::size_t length = lead < 0xC2   ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    char32_t c = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= bytes.size() || (byte(i) & 0xC0) != 0x80) {
            return {U'?', i};
        }
        if (i == 1 && (byte(i) < low || byte(i) > high)) {
            return {U'?', 2};
        }
        c = (c << 6) | (byte(i) & 0x3F);
    }
    return length == 0 ? Utf8Step{U'?', 1} : Utf8Step{c, length};
}

// A file with a byte-order mark, UTF-8 or UTF-16 (as Windows' Notepad saves "Unicode" text),
// in the window's Latin-1. Any other file as it is.
std::string DecodeText(std::string_view bytes) {
    const auto startsWith = [&](std::string_view mark) {
        return bytes.substr(0, mark.size()) == mark;
    };
    std::string text;
    if (startsWith("\xEF\xBB\xBF")) {
        for (std::string_view rest = bytes.substr(3); !rest.empty();) {
            const Utf8Step step = NextUtf8(rest);
            AppendLatin1(text, step.c);
            rest.remove_prefix(step.length);
        }
        return text;
    }
    const bool little = startsWith("\xFF\xFE");
    if (!little && !startsWith("\xFE\xFF")) {
        return std::string(bytes);
    }
    for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        AppendLatin1(text, little ? first | (second << 8) : (first << 8) | second);
    }
    return text;
}

// The whole file as text, or nullopt when it is missing, unreadable, too large or binary.
std::optional<std::string> ReadTextFile(const fs::path& path) {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    const auto size = fs::file_size(path, ec);
    if (ec || size > kMaxFileSize) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    std::string text = DecodeText(bytes);
    if (text.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::string_view PresetSectionFor(int index) {
    const protocol::CommandInfo* command = protocol::CommandAt(index);
    return command ? command->section : protocol::CommandTable[0].section;
}

std::optional<std::string> LookupIniValue(std::string_view fileText, std::string_view section,
                                          std::string_view key) {
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (fileText.substr(0, kBom.size()) == kBom) {
        fileText.remove_prefix(kBom.size());
    }
    bool inSection = false;
    bool sectionSeen = false;
    while (!fileText.empty()) {
        // A line ends at CR, LF or both: files from old Macintosh editors end lines with CR
        // alone, and Windows reads them so.
        const auto end = std::min(fileText.find_first_of("\r\n"), fileText.size());
        const std::string_view line = Trim(fileText.substr(0, end));
        fileText.remove_prefix(end);
        fileText.remove_prefix(std::min(fileText.find_first_not_of("\r\n"), fileText.size()));

        if (line.empty() || line.front() == ';') {
            continue;
        }
        // A section's name runs to the line's last ']'. A '[' line without one is no section
        // header, but an ordinary line of the section it is in.
        const auto close = line.rfind(']');
        if (line.front() == '[' && close != std::string_view::npos && close > 0) {
            if (sectionSeen) {
                // Only the first section of that name is searched.
                return std::nullopt;
            }
            inSection = EqualsIgnoringCase(Trim(line.substr(1, close - 1)), section);
            sectionSeen = inSection;
            continue;
        }
        if (!inSection) {
            continue;
        }
        // A line without '=' names a key with no value, and is the first one of that name.
        const auto eq = line.find('=');
        if (!EqualsIgnoringCase(Trim(line.substr(0, eq)), key)) {
            continue;
        }
        if (eq == std::string_view::npos) {
            return std::string();
        }
        return CutValue(Trim(line.substr(eq + 1)));
    }
    return std::nullopt;
}

fs::path FindPresetFile(const fs::path& directory) {
    std::error_code ec;
    const fs::path exact = directory / kPresetFileName;
    if (fs::exists(exact, ec)) {
        return exact;
    }
    fs::path found;
    int matches = 0;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        if (EqualsIgnoringCase(it->path().filename().string(), kPresetFileName)) {
            found = it->path();
            ++matches;
        }
    }
    // Two names differing only in case leave no way to tell which one was meant.
    return matches == 1 ? found : fs::path();
}

CommandPreset ReadPresetFile(const fs::path& file, std::string_view section) {
    const std::optional<std::string> text = ReadTextFile(file);
    CommandPreset preset;
    for (const PresetKey& key : PresetKeys) {
        std::optional<std::string> value;
        if (text) {
            value = LookupIniValue(*text, section, key.key);
        }
        preset.*key.member = (value && !value->empty()) ? *value : std::string(key.fallback);
    }
    return preset;
}

CommandPreset ReadPreset(const fs::path& directory, std::string_view section) {
    return ReadPresetFile(FindPresetFile(directory), section);
}

CommandPreset ReadPreset(std::string_view section) {
    std::error_code ec;
    const fs::path directory = fs::current_path(ec);
    return ReadPreset(ec ? fs::path() : directory, section);
}

int ReadLeadingInt(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' ||
                                 text[pos] == '\v' || text[pos] == '\f' || text[pos] == '\r')) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        // Saturate instead of overflowing; any value this large is out of every list anyway.
        value = std::min<long long>(value * 10 + (text[pos] - '0'), 1LL << 32);
        ++pos;
    }
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace glassbench::presets
