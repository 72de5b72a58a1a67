#include <gtest/gtest.h>

#include <string>

#include "FrameExamples.h"
#include "TestHex.h"
#include "protocol/CommandFrame.h"
#include "protocol/HexText.h"

namespace glassbench::protocol {
namespace {

using glassbench::testing::FrameExample;
using glassbench::testing::Hex;

class FrameExampleTest : public ::testing::TestWithParam<FrameExample> {};

TEST_P(FrameExampleTest, BuildsTheFrameTextsAndTranscript) {
    const FrameExample& c = GetParam();
    const CommandFields fields{
        c.command, c.x, c.y, c.data, c.transparent, c.fontSize, LcdsTypeFromIndex(c.lcdType)};
    CommandFrame frame{};
    DataStore store{};
    const BuildResult r = BuildCommandFrame(fields, frame, store);
    EXPECT_EQ(Hex(frame.data(), static_cast<std::size_t>(r.frameLength)), c.frame);
    EXPECT_EQ(r.lenghText, c.lengh);
    EXPECT_EQ(r.checkSumText, c.checksum);
    const int shown = TranscriptBytes(frame, r.frameLength, fields.lcdsType);
    EXPECT_EQ(FormatHexBytes(frame.data(), shown), std::string(c.transcript) + " ");
}

INSTANTIATE_TEST_SUITE_P(Examples, FrameExampleTest,
                         ::testing::ValuesIn(glassbench::testing::kFrameExamples),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StyleByte, PacksTransparencyFontAndCharacterCount) {
    // {transparent, font, base style}
    const int base[][3] = {{0, 0, 0xF1},  {0, 5, 0xF6}, {1, 0, 0x01},  {-1, -1, 0x00},
                           {0, -1, 0xF0}, {1, 6, 0x00}, {0, -2, 0xF0}, {2, 2, 0x03}};
    for (const auto& [t, f, style] : base) {
        EXPECT_EQ(BaseStyleByte(t, f), style) << t << "/" << f;
    }
    // {command, data count, transparent, font, SPI style}
    const int spi[][5] = {{6, 2, 0, 1, 0x2A},   {6, 17, 1, 0, 0x11}, {8, 5, 1, 3, 0x24},
                          {8, 0, -1, -1, 0x00}, {18, 7, 0, 0, 0x29}, {18, 21, 1, 0, 0x01},
                          {19, 7, 1, 2, 0x13},  {19, 6, 1, 2, 0x03}, {19, 9, 0, 5, 0x2E}};
    for (const auto& [command, count, t, f, style] : spi) {
        EXPECT_EQ(SpiStyleByte(CommandTable[command], count, t, BaseStyleByte(t, f)), style)
            << CommandTable[command].listText << " count " << count;
    }
}

TEST(ReadCoordinate, ReadsLikeCAndKeepsTheLow16Bits) {
    // clang-format off
    const std::pair<const char*, int> cases[] = {
        {"320", 320}, {" \t\n\v\f\r12", 12}, {"+5", 5}, {"-1", 0xFFFF}, {"-65535", 1}, {"65536", 0},
        {"65537", 1}, {"0x20", 0}, {"12abc", 12}, {"abc", 0}, {"", 0}, {"- 5", 0}, {"+-5", 0},
        {"7 8", 7}, {"\xB2" "5", 0}, {"99999999999999999999", 0xFFFF}};
    // clang-format on
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ReadCoordinate(text), value) << "'" << text << "'";
    }
}

TEST(CommandCodes, SkipTheTenUnusedCodesAndWrapTheIndex) {
    const std::pair<int, int> cases[] = {{0, 0x80},  {15, 0x8F},  {16, 0x9A}, {19, 0x9D},
                                         {-1, 0x89}, {256, 0x80}, {272, 0x9A}};
    for (const auto& [index, code] : cases) {
        EXPECT_EQ(CommandCodeForIndex(index), code) << index;
    }
    for (int i = 0; i < kCommandCount; ++i) {
        EXPECT_EQ(CommandCodeForIndex(i), CommandTable[i].id);
        EXPECT_EQ(CommandById(CommandTable[i].id), &CommandTable[i]);
    }
    EXPECT_EQ(CommandById(0x90), nullptr);
}

}  // namespace
}  // namespace glassbench::protocol
