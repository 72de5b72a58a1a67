#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "TempDir.h"
#include "presets/PresetFile.h"

namespace glassbench::presets {
namespace {

using glassbench::testing::TempDir;

struct LookupCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

class LookupIniValueTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(LookupIniValueTest, FindsValuesAsWindowsToolsDo) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(LookupIniValue(c.file, c.section, c.key), c.expected);
}

const std::string k150(150, 'x');

INSTANTIATE_TEST_SUITE_P(
    Syntax, LookupIniValueTest,
    ::testing::Values(
        LookupCase{"Plain", "[DrawLine]\nDATA=01 02\n", "DrawLine", "DATA", "01 02"},
        LookupCase{"SectionCase", "[drawline]\nDATA=7\n", "DrawLine", "DATA", "7"},
        LookupCase{"KeyCase", "[DrawLine]\ndata=7\n", "DrawLine", "DATA", "7"},
        LookupCase{"BlanksTrimmed", "  [ DrawLine ]  \n\t XADDRESS \t=  12 34 \t\n", "DrawLine",
                   "XADDRESS", "12 34"},
        LookupCase{"CommentLine", "[A]\n;DATA=1\nDATA=2\n", "A", "DATA", "2"},
        LookupCase{"IndentedCommentLine", "[A]\n   ; DATA=1\n", "A", "DATA", std::nullopt},
        LookupCase{"HashIsNoComment", "[A]\n#DATA=1\n", "A", "#DATA", "1"},
        LookupCase{"SemicolonInsideValueKept", "[A]\nDATA=1 ; 2\n", "A", "DATA", "1 ; 2"},
        LookupCase{"Crlf", "[A]\r\nDATA=5\r\nX=6\r\n", "A", "DATA", "5"},
        LookupCase{"CrlfLastLine", "[A]\r\nX=6\r\n", "A", "X", "6"},
        LookupCase{"Bom", "\xEF\xBB\xBF[A]\nDATA=5\n", "A", "DATA", "5"},
        LookupCase{"IndentedLineIsOrdinary", "[A]\nDATA=1\n  X=2\n", "A", "DATA", "1"},
        LookupCase{"IndentedLineIsAKey", "[A]\nDATA=1\n  X=2\n", "A", "X", "2"},
        LookupCase{"FirstKeyWins", "[A]\nDATA=1\nDATA=2\n", "A", "DATA", "1"},
        LookupCase{"FirstSectionWins", "[A]\nX=1\n[B]\nDATA=3\n[A]\nDATA=2\n", "A", "DATA",
                   std::nullopt},
        LookupCase{"OtherSectionIgnored", "[B]\nDATA=3\n[A]\nX=1\n", "A", "DATA", std::nullopt},
        LookupCase{"KeysBeforeAnySection", "DATA=3\n[A]\n", "A", "DATA", std::nullopt},
        LookupCase{"NoSection", "[B]\nDATA=3\n", "A", "DATA", std::nullopt},
        LookupCase{"EmptyValue", "[A]\nDATA=\n", "A", "DATA", ""},
        LookupCase{"QuotesDropped", "[A]\nDATA=\" 41 42 \"\n", "A", "DATA", " 41 42 "},
        LookupCase{"SingleQuotesDropped", "[A]\nDATA='5'\n", "A", "DATA", "5"},
        LookupCase{"UnmatchedQuoteKept", "[A]\nDATA=\"5\n", "A", "DATA", "\"5"},
        LookupCase{"LineWithoutEquals", "[A]\nDATA\nDATA=4\n", "A", "DATA", "4"},
        LookupCase{"EqualsInValue", "[A]\nDATA=a=b\n", "A", "DATA", "a=b"},
        LookupCase{"PrefixIsNotAMatch", "[A]\nDATAX=1\n", "A", "DATA", std::nullopt},
        LookupCase{"SectionPrefixIsNotAMatch", "[AB]\nDATA=1\n", "A", "DATA", std::nullopt},
        LookupCase{"NoFinalNewline", "[A]\nDATA=9", "A", "DATA", "9"},
        LookupCase{"ValueCutTo99", "[A]\nDATA=" + k150 + "\n", "A", "DATA", std::string(99, 'x')},
        LookupCase{"HighBytesKept", "[A]\nDATA=\xB0\xA1\n", "A", "DATA", "\xB0\xA1"}),
    [](const auto& info) { return std::string(info.param.name); });

void ExpectFallbacks(const CommandPreset& preset) {
    EXPECT_EQ(preset.lengh, "4");
    EXPECT_EQ(preset.cmd, "ClearScreen");
    EXPECT_EQ(preset.xaddress, "0");
    EXPECT_EQ(preset.yaddress, "0");
    EXPECT_EQ(preset.transprent, "0");
    EXPECT_EQ(preset.fonttype, "0");
    EXPECT_EQ(preset.data, "0");
    EXPECT_EQ(preset.checksum, "0");
}

TEST(ReadPreset, NoFileGivesEveryFallback) {
    TempDir dir;
    ExpectFallbacks(ReadPreset(dir.path(), "ClearScreen"));
}

TEST(ReadPreset, MissingSectionGivesEveryFallback) {
    TempDir dir;
    dir.Write("Scom.ini", "[DrawPoint]\nDATA=F8 00\n");
    ExpectFallbacks(ReadPreset(dir.path(), "DrawLine"));
}

TEST(ReadPreset, ReadsEveryKeyAndFallsBackPerKey) {
    TempDir dir;
    dir.Write("Scom.ini",
              "[DrawEditAscii]\r\nLENGH=e\r\nCMD=DrawEditAscii\r\nXADDRESS=5\r\nYADDRESS=6\r\n"
              "TRANSPRENT=1\r\nDATA=\r\nCHECKSUM=dd\r\n");
    const CommandPreset preset = ReadPreset(dir.path(), "DrawEditAscii");
    EXPECT_EQ(preset.lengh, "e");
    EXPECT_EQ(preset.cmd, "DrawEditAscii");
    EXPECT_EQ(preset.xaddress, "5");
    EXPECT_EQ(preset.yaddress, "6");
    EXPECT_EQ(preset.transprent, "1");
    EXPECT_EQ(preset.fonttype, "0");  // missing key
    EXPECT_EQ(preset.data, "0");      // empty value
    EXPECT_EQ(preset.checksum, "dd");
}

TEST(ReadPreset, FindsAFileNamedInAnotherCase) {
    TempDir dir;
    dir.Write("SCOM.INI", "[ClearScreen]\nDATA=00\n");
    EXPECT_EQ(ReadPreset(dir.path(), "ClearScreen").data, "00");
}

TEST(ReadPreset, PrefersTheExactName) {
    TempDir dir;
    dir.Write("SCOM.INI", "[ClearScreen]\nDATA=11\n");
    dir.Write("Scom.ini", "[ClearScreen]\nDATA=22\n");
    EXPECT_EQ(ReadPreset(dir.path(), "ClearScreen").data, "22");
}

TEST(ReadPreset, TwoOtherCaseNamesAreAmbiguous) {
    TempDir dir;
    dir.Write("SCOM.INI", "[ClearScreen]\nDATA=11\n");
    dir.Write("scom.ini", "[ClearScreen]\nDATA=22\n");
    ExpectFallbacks(ReadPreset(dir.path(), "ClearScreen"));
}

TEST(ReadPreset, BinaryOrNonRegularFilesGiveFallbacks) {
    TempDir binary;
    binary.Write("Scom.ini", std::string("[ClearScreen]\nDATA=11\n\0\x01\x02", 25));
    ExpectFallbacks(ReadPreset(binary.path(), "ClearScreen"));

    TempDir folder;
    std::filesystem::create_directory(folder.path() / "Scom.ini");
    ExpectFallbacks(ReadPreset(folder.path(), "ClearScreen"));
}

TEST(ReadPreset, MissingDirectoryGivesFallbacks) {
    ExpectFallbacks(
        ReadPreset(std::filesystem::path("/nonexistent/glassbench/dir"), "ClearScreen"));
    ExpectFallbacks(ReadPreset(std::filesystem::path(), "ClearScreen"));
}

TEST(ReadPreset, ReadsAfreshEachTime) {
    TempDir dir;
    dir.Write("Scom.ini", "[DrawLine]\nDATA=01\n");
    EXPECT_EQ(ReadPreset(dir.path(), "DrawLine").data, "01");
    dir.Write("Scom.ini", "[DrawLine]\nDATA=02\n");
    EXPECT_EQ(ReadPreset(dir.path(), "DrawLine").data, "02");
}

TEST(ReadPreset, WorksInADirectoryLongerThan199Characters) {
    TempDir dir;
    std::filesystem::path deep = dir.path();
    for (int i = 0; i < 6; ++i) {
        deep /= std::string(60, static_cast<char>('a' + i));
    }
    std::filesystem::create_directories(deep);
    ASSERT_GT(deep.string().size(), 199u);
    std::ofstream(deep / "Scom.ini") << "[DrawBox]\nXADDRESS=320\n";
    EXPECT_EQ(ReadPreset(deep, "DrawBox").xaddress, "320");
}

TEST(PresetSectionFor, NamesTheSectionOfEveryCommandAndClearScreenOtherwise) {
    const char* const expected[] = {
        "ClearScreen",
        "SetBGColor",
        "SetFGColor",
        "SetLCDBrightness",
        "SetBaud",
        "AsciiDisplay",
        "AsciiStringDisplay",
        "ChineseDisplay",
        "ChineseStringDisplay",
        "IconDisplay",
        "DrawPoint",
        "DrawLine",
        "DrawRectangle",
        "DrawFilledRectangle",
        "DrawCircle",
        "DrawFilledCircle",
        "DrawBox",
        "DrawButton",
        "DrawEditAscii",
        "DrawEditChinese",
    };
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(PresetSectionFor(i), expected[i]) << i;
    }
    for (const int outside : {-1, 20, 21, INT_MIN, INT_MAX}) {
        EXPECT_EQ(PresetSectionFor(outside), "ClearScreen") << outside;
    }
}

TEST(ReadLeadingInt, ReadsLikeAtoi) {
    const std::pair<const char*, int> cases[] = {
        {"0", 0},
        {"1", 1},
        {"7", 7},
        {"-1", -1},
        {" \t 3", 3},
        {"+2", 2},
        {"abc", 0},
        {"", 0},
        {"2x", 2},
        {"- 1", 0},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ReadLeadingInt(text), value) << "'" << text << "'";
    }
}

}  // namespace
}  // namespace glassbench::presets
