// The read-only preset file: starting values for a command's fields, one section a command.
//
// The file is Scom.ini in the current directory, read afresh at every load and never
// written. It is read as Windows' GetPrivateProfileStringA reads it into the window's
// 100-character buffer (a test of the Windows build compares the two on a corpus of odd files):
// section and key names regardless of letter case, blanks (and DOS's end-of-file Ctrl-Z) around
// names and values trimmed, ';' comment lines, lines ending in CRLF, LF or CR alone, a value's
// surrounding quotes dropped, and the first matching key of the first matching section wins.
// A section name runs to the last ']' of its line; a '[' line without one is no section
// header. A line without '=' is a key with no value. An indented line is an ordinary line. A
// value is cut to 99 characters. A file with a UTF-8 or UTF-16 byte-order mark (Notepad's
// "UTF-8" and "Unicode") is read in the window's Latin-1, '?' standing for what that lacks;
// any other file byte for byte. A missing, unreadable or binary file (one holding a NUL) or one
// over 4 MiB, a missing section or key, or an empty value, gives the key's fallback, silently.
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
