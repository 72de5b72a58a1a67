// The read-only preset file: starting values for a command's fields, one section a command.
//
// The file is Scom.ini in the current directory, read afresh at every load and never
// written. Files kept on Windows are matched the way Windows tools read them: section and key
// names regardless of letter case, blanks around names and values trimmed, ';' comment lines,
// CRLF or LF, a UTF-8 byte-order mark ignored, a value's surrounding quotes dropped, and the
// first matching key of the first matching section wins. An indented line is an ordinary
// line. A value is cut to 99 characters. A missing, unreadable or binary file, section or key,
// or an empty value, gives the key's fallback, silently.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace glassbench::presets {

inline constexpr std::string_view kPresetFileName = "Scom.ini";
inline constexpr std::size_t kMaxValueLength = 99;

// The eight values of one section.
struct CommandPreset {
    std::string lengh;
    std::string cmd;
    std::string xaddress;
    std::string yaddress;
    std::string transprent;
    std::string fonttype;
    std::string data;
    std::string checksum;
};

struct PresetKey {
    std::string_view key;
    std::string_view fallback;
    std::string CommandPreset::*member;
};

// The keys in the order they are read.
inline const std::array<PresetKey, 8> PresetKeys{{
    {"LENGH", "4", &CommandPreset::lengh},
    {"CMD", "ClearScreen", &CommandPreset::cmd},
    {"XADDRESS", "0", &CommandPreset::xaddress},
    {"YADDRESS", "0", &CommandPreset::yaddress},
    {"TRANSPRENT", "0", &CommandPreset::transprent},
    {"FONTTYPE", "0", &CommandPreset::fonttype},
    {"DATA", "0", &CommandPreset::data},
    {"CHECKSUM", "0", &CommandPreset::checksum},
}};

// The section for a Command list index; any index outside 0..19 gives "ClearScreen".
std::string_view PresetSectionFor(int index);

// The value of `key` in `section` of an INI text, cut to 99 characters; nullopt when absent.
// An empty value is returned as an empty string.
std::optional<std::string> LookupIniValue(std::string_view fileText, std::string_view section,
                                          std::string_view key);

// The preset file in `directory`: Scom.ini when it exists, else the one entry whose name
// matches it regardless of case (files copied from Windows are often SCOM.INI). Empty when
// there is none or more than one.
std::filesystem::path FindPresetFile(const std::filesystem::path& directory);

// Reads the section from the preset file `file` (empty: no file), with fallbacks for what is
// missing.
CommandPreset ReadPresetFile(const std::filesystem::path& file, std::string_view section);

// The same for the preset file FindPresetFile gives in `directory`.
CommandPreset ReadPreset(const std::filesystem::path& directory, std::string_view section);

// The same from the current directory, as the window and the command line do.
CommandPreset ReadPreset(std::string_view section);

// Parses a list index the way the window reads TRANSPRENT and FONTTYPE: leading white space,
// one sign, digits up to the first other character; no digits gives 0.
int ReadLeadingInt(std::string_view text);

}  // namespace glassbench::presets
