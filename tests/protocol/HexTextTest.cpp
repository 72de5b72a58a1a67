#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "TestHex.h"
#include "protocol/HexText.h"

namespace glassbench::protocol {
namespace {

TEST(ParseHexBytes, ReadsEveryPairIncludingIrregularOnes) {
    const std::pair<std::string, const char*> cases[] = {
        {"", ""},
        {"AA BB", "AA BB"},
        {"AABB", "AA BB"},
        {" AA  BB ", "AA BB"},
        {"aabbcc", "AA BB CC"},
        {"0", "FF"},  // a lone digit pairs with the end of the text, which counts as -1
        {"1", "0F"},
        {"A", "9F"},
        {"05", "05"},
        {"0x1F", "FF 1F"},
        {"1 2", "0F 1F"},  // the blank inside a pair is its low digit
        {"a b", "9F AF"},
        {"G1", "F1"},
        {"GG", "EF"},
        {"\t5", "F5"},  // only the blank is skipped
        {"\x80"
         "1\xFF\xFE",
         "F1 EF"},  // bytes from 0x80 up are no digits
        {"3\xC0", "2F"},
        {std::string("12\0"
                     "34",
                     5),
         "12"},
    };
    for (const auto& [text, expected] : cases) {
        std::array<std::uint8_t, 128> store{};
        const int count = ParseHexBytes(text, store.data());
        EXPECT_EQ(glassbench::testing::Hex(store.data(), static_cast<std::size_t>(count)), expected)
            << "'" << text << "'";
    }
}

TEST(ParseHexStream, ReadsLikeTheDataFieldWithoutItsLimit) {
    std::string text = "aa0";  // irregular pairs read as the Data field reads them
    for (int i = 0; i < 60; ++i) {
        text += " 5A";
    }
    const std::vector<std::uint8_t> bytes = ParseHexStream(text + std::string("\0 11", 4));
    std::array<std::uint8_t, 128> store{};
    ASSERT_EQ(ParseHexBytes(text, store.data()), 55);
    ASSERT_EQ(bytes.size(), 62u);
    EXPECT_TRUE(std::equal(store.begin(), store.begin() + 55, bytes.begin()));
    EXPECT_EQ(glassbench::testing::Hex(bytes.data(), 3), "AA FF 5A");
}

// A text in pieces reads as the whole text, wherever it is cut: every way of cutting it into
// two and three pieces (empty pieces among them), a pair cut in half included; a NUL ends the
// text in whichever piece it comes, and nothing after it is read.
TEST(HexStreamParser, ReadsAnyCutOfATextAsTheWholeText) {
    const std::pair<std::string, const char*> cases[] = {
        {"", ""},
        {"AA 04 80", "AA 04 80"},
        {" aa0480 ", "AA 04 80"},
        {"0", "FF"},
        {"1 2", "0F 1F"},
        {"A", "9F"},
        {"G1 0x1F", "F1 FF 1F"},
        {std::string("12\0"
                     "34",
                     5),
         "12"},
        {std::string("5\0"
                     "6",
                     3),
         "4F"},
    };
    const auto read = [](const std::vector<std::string_view>& pieces) {
        HexStreamParser parser;
        std::vector<std::uint8_t> bytes;
        bool goesOn = true;
        for (const std::string_view piece : pieces) {
            const bool more = parser.Take(piece, bytes);
            EXPECT_TRUE(goesOn || !more);  // once ended, always ended
            goesOn = more;
        }
        parser.Finish(bytes);
        return glassbench::testing::Hex(bytes);
    };
    for (const auto& [text, expected] : cases) {
        const std::string_view whole = text;
        EXPECT_EQ(read({whole}), expected);
        for (std::size_t i = 0; i <= whole.size(); ++i) {
            for (std::size_t j = i; j <= whole.size(); ++j) {
                EXPECT_EQ(read({whole.substr(0, i), whole.substr(i, j - i), whole.substr(j)}),
                          expected)
                    << "'" << text << "' cut at " << i << " and " << j;
            }
        }
    }
    HexStreamParser parser;
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(parser.Take(std::string("1\0", 2), bytes));
    EXPECT_FALSE(parser.Take("23", bytes));
    parser.Finish(bytes);
    EXPECT_EQ(glassbench::testing::Hex(bytes), "0F");
}

TEST(BytePattern, TakesPairsAndWildcardsStrictly) {
    const std::pair<const char*, const char*> cases[] = {
        {"AA 04 ?? 00 2e", "AA 04 ?? 00 2E"},
        {" aa04??", "AA 04 ??"},
        {"", ""},
        {"AA 0", nullptr},  // a lone digit
        {"A?", nullptr},
        {"?", nullptr},
        {"0x1F", nullptr},
        {"AA\t04", nullptr},
    };
    for (const auto& [text, expected] : cases) {
        const auto pattern = ParseBytePattern(text);
        EXPECT_EQ(pattern.has_value(), expected != nullptr) << text;
        if (pattern && expected != nullptr) {
            EXPECT_EQ(FormatBytePattern(*pattern), expected);
        }
    }
    const BytePattern pattern = *ParseBytePattern("AA ?? 80");
    const std::uint8_t reply[] = {0xAA, 0x04, 0x80, 0x00};
    EXPECT_TRUE(MatchesBytePattern(pattern, reply, 3));
    EXPECT_FALSE(MatchesBytePattern(pattern, reply, 4));  // one byte too many
    EXPECT_FALSE(MatchesBytePattern(pattern, reply, 2));
    const std::uint8_t other[] = {0xAA, 0x04, 0x81};
    EXPECT_FALSE(MatchesBytePattern(pattern, other, 3));
}

TEST(FormatHexBytes, RendersUpperCasePairsAndRoundTripsEveryByte) {
    const std::uint8_t pair[] = {0x0A, 0xFF};
    EXPECT_EQ(FormatHexBytes(pair, 2), "0A FF ");
    EXPECT_EQ(FormatHexBytes(pair, 0), "");
    EXPECT_EQ(FormatHexBytes(pair, -3), "");
    for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<std::uint8_t>(value);
        std::uint8_t parsed = 0;
        ASSERT_EQ(ParseHexBytes(FormatHexBytes(&byte, 1), &parsed), 1);
        EXPECT_EQ(parsed, byte);
    }
    // Far more than a frame: the text grows with its input, with no fixed buffer behind it.
    const std::vector<std::uint8_t> many(40000, 0xC3);
    EXPECT_EQ(FormatHexBytes(many.data(), 40000).size(), 120000u);
}

}  // namespace
}  // namespace glassbench::protocol
