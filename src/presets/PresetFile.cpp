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

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
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

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The whole file, or nullopt when it is missing, unreadable, too large or binary.
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
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || text.find('\0') != std::string::npos) {
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
        const auto end = fileText.find('\n');
        const std::string_view line = Trim(fileText.substr(0, end));
        fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);

        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            if (sectionSeen) {
                // Only the first section of that name is searched.
                return std::nullopt;
            }
            const auto close = line.find(']');
            const std::string_view name =
                Trim(line.substr(1, close == line.npos ? line.npos : close - 1));
            inSection = EqualsIgnoringCase(name, section);
            sectionSeen = inSection;
            continue;
        }
        if (!inSection) {
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || !EqualsIgnoringCase(Trim(line.substr(0, eq)), key)) {
            continue;
        }
        const std::string_view value = StripQuotes(Trim(line.substr(eq + 1)));
        return std::string(value.substr(0, kMaxValueLength));
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
