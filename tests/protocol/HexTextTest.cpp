#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "TestHex.h"
#include "protocol/HexText.h"

namespace glassbench::protocol {
namespace {

using glassbench::testing::Bytes;
using glassbench::testing::Hex;

struct ParseCase {
    const char* name;
    std::string text;
    const char* expected;
};

class ParseHexBytesTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseHexBytesTest, GivesTheBytesOfEveryPair) {
    const ParseCase& c = GetParam();
    std::array<std::uint8_t, 128> store{};
    const int count = ParseHexBytes(c.text, store.data());
    EXPECT_EQ(Hex(store.data(), static_cast<std::size_t>(count)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseHexBytesTest,
    ::testing::Values(
        ParseCase{"Empty", "", ""}, ParseCase{"Spaced", "AA BB", "AA BB"},
        ParseCase{"Packed", "AABB", "AA BB"}, ParseCase{"ExtraBlanks", " AA  BB ", "AA BB"},
        ParseCase{"LowerCase", "aabbcc", "AA BB CC"}, ParseCase{"LoneZeroIsFF", "0", "FF"},
        ParseCase{"LoneOne", "1", "0F"}, ParseCase{"LoneA", "A", "9F"},
        ParseCase{"Pair", "05", "05"}, ParseCase{"PrefixIsNoPrefix", "0x1F", "FF 1F"},
        ParseCase{"BlankInsidePairIsLowDigit", "1 2", "0F 1F"},
        ParseCase{"SplitPairs", "a b", "9F AF"}, ParseCase{"NonDigitThenDigit", "G1", "F1"},
        ParseCase{"TwoNonDigits", "GG", "EF"}, ParseCase{"TabIsNotSkipped", "\t5", "F5"},
        ParseCase{"HighBytesAreNoDigits",
                  "\x80"
                  "1\xFF\xFE",
                  "F1 EF"},
        ParseCase{"DigitThenHighByte", "3\xC0", "2F"},
        ParseCase{"TextEndsAtNul",
                  std::string("12\0"
                              "34",
                              5),
                  "12"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseHexBytes, StopsAfter55BytesAndLeavesTheRestOfTheStoreAlone) {
    std::string text;
    for (int i = 0; i < 60; ++i) {
        text += "5A ";
    }
    std::array<std::uint8_t, 128> store;
    store.fill(0x11);
    EXPECT_EQ(ParseHexBytes(text, store.data()), 55);
    EXPECT_TRUE(std::all_of(store.begin(), store.begin() + 55, [](auto b) { return b == 0x5A; }));
    EXPECT_TRUE(std::all_of(store.begin() + 55, store.end(), [](auto b) { return b == 0x11; }));
}

TEST(FormatHexBytes, RendersUpperCasePairsEachWithATrailingBlank) {
    const std::uint8_t bytes[] = {0x0A, 0xFF};
    EXPECT_EQ(FormatHexBytes(bytes, 2), "0A FF ");
    EXPECT_EQ(FormatHexBytes(bytes, 0), "");
    EXPECT_EQ(FormatHexBytes(bytes, -3), "");
    EXPECT_EQ(FormatHexBytes(nullptr, 0), "");
}

TEST(FormatHexBytes, RoundTripsEveryByteValueThroughTheParser) {
    for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<std::uint8_t>(value);
        const std::string text = FormatHexBytes(&byte, 1);
        ASSERT_EQ(text.size(), 3u);
        std::uint8_t parsed = 0;
        ASSERT_EQ(ParseHexBytes(text, &parsed), 1) << text;
        EXPECT_EQ(parsed, byte) << text;
    }
}

TEST(FormatHexBytes, HandlesMoreThanAFrameWorthOfBytes) {
    // Larger than any frame: the text grows with the input, with no fixed buffer behind it.
    std::vector<std::uint8_t> bytes(40000, 0xC3);
    const std::string text = FormatHexBytes(bytes.data(), static_cast<int>(bytes.size()));
    ASSERT_EQ(text.size(), bytes.size() * 3);
    EXPECT_EQ(text.substr(text.size() - 6), "C3 C3 ");
}

}  // namespace
}  // namespace glassbench::protocol
