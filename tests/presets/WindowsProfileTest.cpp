// Our preset reader against Windows' own INI reader, GetPrivateProfileStringA, file by file.
// Built for Windows only, and run there or under Wine.
//
// The window reads presets with ReadPresetFile on every platform. A file made or kept on
// Windows must give it what the Windows function gives: that call with the window's
// 100-character buffer, and a key's fallback where it returns nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "presets/PresetFile.h"

namespace glassbench::presets {
namespace {

using glassbench::testing::TempDir;

struct Case {
    const char* name;
    std::string file;
    const char* section;
    // Why our reader differs here on purpose, giving every fallback instead.
    const char* keptDifference = nullptr;
};

// UTF-16 as Notepad writes it ("Unicode"): the byte-order mark, then each character of
// `latin1` in two bytes, and `extra` (UTF-16 code units) at the end.
std::string Utf16(std::string_view latin1, bool littleEndian, std::u16string_view extra = {}) {
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    std::u16string units(latin1.begin(), latin1.end());
    for (const char16_t unit : units.append(extra)) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        out += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return out;
}

const std::string kLong(150, 'x');
const std::string k99(99, 'y');

// clang-format off
const std::vector<Case> kCorpus = {
    {"plain", "[A]\nLENGH=9\nDATA=01 02\n", "A"},
    {"crlf", "[A]\r\nLENGH=9\r\nDATA=01 02\r\n", "A"},
    {"cr only", "[A]\rLENGH=9\rDATA=01 02\rCMD=x\r", "A"},
    {"cr in a line", "[A]\nDATA=1\r2\nCMD=3\r\r\n\n\rXADDRESS=4", "A"},
    {"no final newline", "[A]\nLENGH=9\nDATA=01 02", "A"},
    {"indented keys", "[A]\n   DATA=1\n\t\tCMD = 2\n \t XADDRESS \t=  3 4 \t\n", "A"},
    {"indented section", "  \t[A]  \nDATA=1\n", "A"},
    {"blanks in brackets", "[ A ]\nDATA=1\n", "A"},
    {"text after the bracket", "[A] ; presets\nDATA=1\n", "A"},
    {"two closing brackets", "[A]]\nDATA=1\n[A]\nDATA=2\n", "A]"},
    {"no closing bracket", "[A]\nLENGH=1\n[S\nDATA=2\n", "S"},
    {"no closing bracket, section before", "[A]\nLENGH=1\n[S\nDATA=2\n", "A"},
    {"no closing bracket first", "[S\nDATA=2\n[A]\nCMD=3\n", "S"},
    {"inline semicolon", "[A]\nDATA=1 ; 2\nCMD=;x\n", "A"},
    {"comment lines", "[A]\n;DATA=1\n   ; CMD=3\nDATA=2\n", "A"},
    {"hash is no comment", "[A]\n#DATA=1\nDATA=2\n", "A"},
    {"comment before the section", "; [A]\nDATA=9\n[A]\nCMD=1\n", "A"},
    {"double quotes", "[A]\nDATA=\" 41 42 \"\n", "A"},
    {"single quotes", "[A]\nDATA='5'\nCMD=' x '\n", "A"},
    {"unbalanced quotes", "[A]\nDATA=\"5\nCMD=5\"\nLENGH='5\"\n", "A"},
    {"lone quotes", "[A]\nDATA=\"\nCMD='\nLENGH=\"\"\nXADDRESS=''\n", "A"},
    {"quotes inside", "[A]\nDATA=a\"b\"c\nCMD=\"a\" \"b\"\n", "A"},
    {"empty values", "[A]\nDATA=\nCMD=   \nLENGH = \t\n", "A"},
    {"duplicate keys", "[A]\nDATA=1\nDATA=2\ndata=3\n", "A"},
    {"duplicate sections, key in the second", "[A]\nCMD=1\n[B]\nDATA=3\n[A]\nDATA=2\n", "A"},
    {"duplicate sections, key in the first", "[A]\nDATA=1\n[a]\nDATA=2\nCMD=4\n", "A"},
    {"bare key before the value", "[A]\nDATA\nDATA=after\n", "A"},
    {"bare key after the value", "[A]\nDATA=before\nDATA\n", "A"},
    {"bare key, blanks", "[A]\n  DATA  \nCMD\t\nCMD=1\n", "A"},
    {"equals signs in the value", "[A]\nDATA=a=b\nCMD==c\n", "A"},
    {"no key name", "[A]\n=5\n = 6\nDATA=7\n", "A"},
    {"keys before any section", "DATA=3\nCMD=4\n[A]\nLENGH=5\n", "A"},
    {"empty section name", "[]\nDATA=3\n[A]\n", "A"},
    {"utf-8 byte-order mark", "\xEF\xBB\xBF[A]\nDATA=5\n", "A"},
    {"utf-8 byte-order mark, crlf", "\xEF\xBB\xBF[A]\r\nDATA=5\r\nCMD=6\r\n", "A"},
    {"utf-16le byte-order mark", Utf16("[A]\r\nDATA=5\r\nCMD=x y\r\n", true), "A"},
    {"utf-16be byte-order mark", Utf16("[A]\r\nDATA=5\r\nCMD=x y\r\n", false), "A"},
    {"utf-16 past ascii", Utf16("[A]\r\nDATA=\xE4\xB0\r\nCMD=", true, u"\u4E2D\u00FF"), "A"},
    {"utf-8 byte-order mark, bytes from 0x80", "\xEF\xBB\xBF[A]\nDATA=\xC3\xA4\xE4\xB8\xAD\xF0\x9F\x98\x80\n", "A"},
    {"utf-8 byte-order mark, bad sequences", "\xEF\xBB\xBF[A]\nDATA=\xC3" "A\xFF\xE4\xB8\nCMD=\xC0\x80\xF4\x90.\xE0\x80\xED\xA0\x80\xF0\x8F\n", "A"},
    {"long value", "[A]\nDATA=" + kLong + "\nCMD=" + k99 + "\nLENGH=" + k99 + "z\n", "A"},
    {"long quoted value", "[A]\nDATA=\"" + kLong + "\"\nCMD=\"" + k99 + "\"\nLENGH=\"" + k99.substr(1) + "\"\n", "A"},
    {"letter case", "[drawpoint]\ndata=1\nCmD=2\n[DRAWPOINT]\nLENGH=3\n", "DrawPoint"},
    {"letter case of the query", "[DrawPoint]\nDATA=1\n", "DRAWPOINT"},
    {"bytes from 0x80", "[A]\nDATA=\xB0\xA1\xFF\nCMD=\x80\x81\x8D\x90\x9D\xC4\xE4\n", "A"},
    {"bytes from 0x80 in names", "[\xC4]\nDATA=1\n[A]\n\xE4=2\nCMD=3\n", "A"},
    {"dos end of file", "[A]\r\nDATA=1\x1A\r\nCMD=\x1A" "2\r\n\x1A", "A"},
    {"other control characters", "[A]\nDATA=\x1C" "1\x1D\nCMD=\x1E" "2\x1F\nLENGH=\x85" "3\x01\x7F\n", "A"},
    {"no-break space", "[A]\nDATA=\xA0" "1\xA0\nCMD= \xA0\n", "A"},
    {"tabs and form feeds", "[A]\nDATA=\t1\t\nCMD=\v2\f\n", "A"},
    {"the real file", "; presets\r\n[DrawLine]\r\nLENGH = 9\r\nXADDRESS=10\r\n"
                      "DATA=00 10 00 20\r\n[ClearScreen]\nDATA=00\n", "DrawLine"},
    {"section prefix", "[AB]\nDATA=1\n[A]\nDATAX=2\n", "A"},
    {"missing section", "[B]\nDATA=1\n", "A"},
    {"empty file", "", "A"},
    {"a NUL byte", std::string("[A]\nDATA=1\n\0\1", 13), "A",
     "a NUL byte means the file is no text (a saved document, UTF-16 without its byte-order "
     "mark); Windows reads on past it and may take a key from among the bytes"},
    {"past 4 MiB", "[A]\nDATA=1\n" + std::string(4u << 20, ';'), "A",
     "a file that large is no preset file, and the window reads the file at every command "
     "change: reading it would stall the window"},
};
// clang-format on

// What the window shows for `section`: each key's value, its fallback where there is none.
std::vector<std::string> WindowsValues(const std::filesystem::path& file, const char* section) {
    std::vector<std::string> values;
    for (const PresetKey& key : PresetKeys) {
        char buffer[100] = {};
        ::GetPrivateProfileStringA(section, std::string(key.key).c_str(), "", buffer,
                                   sizeof(buffer), file.string().c_str());
        values.push_back(buffer[0] != '\0' ? buffer : std::string(key.fallback));
    }
    return values;
}

std::vector<std::string> OurValues(const std::filesystem::path& file, const char* section) {
    const CommandPreset preset = ReadPresetFile(file, section);
    std::vector<std::string> values;
    for (const PresetKey& key : PresetKeys) {
        values.push_back(preset.*key.member);
    }
    return values;
}

TEST(WindowsProfileTest, OurReaderGivesWhatWindowsGivesForEveryFile) {
    const std::vector<std::string> fallbacks = OurValues({}, "A");
    TempDir dir;
    int n = 0;
    for (const Case& c : kCorpus) {
        // A new name for each file: Windows keeps the last file it read in a cache.
        const auto file = dir.Write("corpus" + std::to_string(n++) + ".ini", c.file);
        const std::vector<std::string> ours = OurValues(file, c.section);
        if (c.keptDifference == nullptr) {
            EXPECT_EQ(ours, WindowsValues(file, c.section)) << c.name;
        } else {
            EXPECT_EQ(ours, fallbacks) << c.name;
            EXPECT_NE(WindowsValues(file, c.section), fallbacks)
                << c.name << ": no longer a difference (" << c.keptDifference << ")";
        }
    }
}

}  // namespace
}  // namespace glassbench::presets
