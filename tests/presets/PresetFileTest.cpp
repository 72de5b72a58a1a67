#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "TempDir.h"
#include "presets/PresetFile.h"

namespace glassbench::presets {
namespace {

using glassbench::testing::TempDir;

// The Windows build checks these rules against Windows' own reader (WindowsProfileTest.cpp).
TEST(LookupIniValue, ReadsFilesAsWindowsToolsDo) {
    struct Case {
        std::string file;
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const auto none = std::nullopt;
    // clang-format off
    const Case cases[] = {
        {"[DrawLine]\nDATA=01 02\n", "DrawLine", "DATA", "01 02"},
        {"[drawline]\ndata=7\n", "DrawLine", "DATA", "7"},                  // any letter case
        {"  [ DrawLine ]  \n\t XADDRESS \t=  12 34 \t\x1A\n", "DrawLine", "XADDRESS", "12 34"},
        {"[A]\n;DATA=1\n   ; DATA=3\nDATA=2\n", "A", "DATA", "2"},         // comment lines
        {"[A]\n#DATA=1\n", "A", "#DATA", "1"},                              // '#' is no comment
        {"[A]\nDATA=1 ; 2\n", "A", "DATA", "1 ; 2"},                        // nor inline ';'
        {"[A]\r\nDATA=5\rX=6\r\n", "A", "X", "6"},                          // CRLF, CR
        {"\xEF\xBB\xBF[A]\nDATA=5\n", "A", "DATA", "5"},                    // byte-order mark
        {"[A]\nDATA=1\n  X=2\n", "A", "DATA", "1"},                         // no continuation
        {"[A]\nDATA=1\n  X=2\n", "A", "X", "2"},
        {"[A]\nDATA=1\nDATA=2\n", "A", "DATA", "1"},                        // first key wins
        {"[A]\nX=1\n[B]\nDATA=3\n[A]\nDATA=2\n", "A", "DATA", none},        // first section only
        {"DATA=3\n[A]\n", "A", "DATA", none},
        {"[AB]\nDATAX=1\n[A]\nDATAX=1\n", "A", "DATA", none},               // no prefix matches
        {"[A]\nDATA=\n", "A", "DATA", ""},
        {"[A]\nDATA=\" 41 42 \"\n", "A", "DATA", " 41 42 "},                // quotes dropped
        {"[A]\nDATA='5'\n", "A", "DATA", "5"},
        {"[A]\nDATA=\"5\n", "A", "DATA", "\"5"},
        {"[A]\nDATA\nDATA=1", "A", "DATA", ""},                             // key, no value
        {"[A]\nX\nDATA=a=b", "A", "DATA", "a=b"},
        {"[A]\n[S\nDATA=1", "A", "DATA", "1"},                              // no header
        {"[A]]\nDATA=1", "A]", "DATA", "1"},
        {"[A]\nDATA=" + std::string(150, 'x'), "A", "DATA", std::string(99, 'x')},
        {"[A]\nDATA='" + std::string(99, 'x') + "'", "A", "DATA", std::string(98, 'x')},
        {"[A]\nDATA=\xB0\xA1\n", "A", "DATA", "\xB0\xA1"},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(LookupIniValue(c.file, c.section, c.key), c.expected) << c.file;
    }
}

TEST(ReadPreset, FallsBackPerKeyAndFindsTheFileAsCopiedFromWindows) {
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, std::string>> files;
        const char* section;
        const char* expected;  // the eight values in key order, '|' between them
    };
    const char* const fallbacks = "4|ClearScreen|0|0|0|0|0|0";
    const std::string full =
        "[DrawEditAscii]\r\nLENGH=e\r\nCMD=DrawEditAscii\r\nXADDRESS=5\r\nYADDRESS=6\r\n"
        "TRANSPRENT=1\r\nDATA=\r\nCHECKSUM=dd\r\n";
    // clang-format off
    const Case cases[] = {
        {"no file", {}, "ClearScreen", fallbacks},
        {"missing section", {{"Scom.ini", "[DrawPoint]\nDATA=F8\n"}}, "DrawLine", fallbacks},
        {"per key", {{"Scom.ini", full}}, "DrawEditAscii", "e|DrawEditAscii|5|6|1|0|0|dd"},
        {"other case", {{"SCOM.INI", full}}, "DrawEditAscii", "e|DrawEditAscii|5|6|1|0|0|dd"},
        {"exact name first", {{"SCOM.INI", "[A]\nDATA=1"}, {"Scom.ini", "[A]\nDATA=2"}}, "A",
         "4|ClearScreen|0|0|0|0|2|0"},
        {"ambiguous", {{"SCOM.INI", "[A]\nDATA=1"}, {"scom.ini", "[A]\nDATA=2"}}, "A", fallbacks},
        {"binary", {{"Scom.ini", std::string("[A]\nDATA=1\n\0\1", 13)}}, "A", fallbacks},
        {"utf-16",
         {{"Scom.ini", std::string("\xFF\xFE[\0A\0]\0\n\0D\0A\0T\0A\0=\0\xE4\0\x2D\x4E", 24)}},
         "A", "4|ClearScreen|0|0|0|0|\xE4?|0"},
        {"utf-8 with its mark", {{"Scom.ini", "\xEF\xBB\xBF[A]\nDATA=\xC3\xA4\xE4\xB8\xAD\xC3"}},
         "A", "4|ClearScreen|0|0|0|0|\xE4??|0"},
    };
    // clang-format on
    for (const Case& c : cases) {
        TempDir dir;
        // Two spellings of one name are one file where names differ only by case (Windows).
        if (c.files.size() > 1 &&
            std::filesystem::exists(dir.Write("case", "").parent_path() / "CASE")) {
            continue;
        }
        for (const auto& [name, content] : c.files) {
            dir.Write(name, content);
        }
        const CommandPreset preset = ReadPreset(dir.path(), c.section);
        std::string values;
        for (const PresetKey& key : PresetKeys) {
            values += (values.empty() ? "" : "|") + preset.*key.member;
        }
        EXPECT_EQ(values, c.expected) << c.what;
    }
}

TEST(ReadPreset, NonRegularMissingOrLongPathsBehave) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "Scom.ini");
    EXPECT_EQ(ReadPreset(dir.path(), "ClearScreen").lengh, "4");
    EXPECT_EQ(ReadPreset(std::filesystem::path("/nonexistent/dir"), "ClearScreen").data, "0");

    // Linux paths may be longer than the 199 characters a Windows current directory allowed.
    std::filesystem::path deep = dir.path();
    for (char c = 'a'; c < 'g'; ++c) {
        deep /= std::string(60, c);
    }
    std::filesystem::create_directories(deep);
    std::ofstream(deep / "Scom.ini") << "[DrawBox]\nXADDRESS=320\n";
    EXPECT_EQ(ReadPreset(deep, "DrawBox").xaddress, "320");

    // Read afresh on every load.
    std::filesystem::remove(dir.path() / "Scom.ini");
    dir.Write("SCOM.INI", "[DrawBox]\nXADDRESS=1\n");
    EXPECT_EQ(ReadPreset(dir.path(), "DrawBox").xaddress, "1");
    dir.Write("SCOM.INI", "[DrawBox]\nXADDRESS=2\n");
    EXPECT_EQ(ReadPreset(dir.path(), "DrawBox").xaddress, "2");
}

TEST(PresetSectionFor, NamesEveryCommandsSectionAndClearScreenOtherwise) {
    std::string sections;
    for (int i = 0; i < 20; ++i) {
        sections += std::string(PresetSectionFor(i)) + " ";
    }
    EXPECT_EQ(
        sections,
        "ClearScreen SetBGColor SetFGColor SetLCDBrightness SetBaud AsciiDisplay "
        "AsciiStringDisplay ChineseDisplay ChineseStringDisplay IconDisplay DrawPoint DrawLine "
        "DrawRectangle DrawFilledRectangle DrawCircle DrawFilledCircle DrawBox DrawButton "
        "DrawEditAscii DrawEditChinese ");
    for (const int outside : {-1, 20, INT_MIN, INT_MAX}) {
        EXPECT_EQ(PresetSectionFor(outside), "ClearScreen");
    }
}

TEST(ReadLeadingInt, ReadsLikeAtoiWithoutOverflow) {
    // clang-format off
    const std::pair<const char*, int> cases[] = {
        {"1", 1}, {"-1", -1}, {" \t 3", 3}, {"+2", 2}, {"abc", 0}, {"", 0}, {"2x", 2}, {"- 1", 0},
        {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}};
    // clang-format on
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ReadLeadingInt(text), value) << "'" << text << "'";
    }
}

}  // namespace
}  // namespace glassbench::presets
