#include <gtest/gtest.h>

#include <numeric>
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

// Every command with every data count, built into buffers full of an earlier build's bytes:
// the length byte follows the layout (whose header lengths the worked examples pin), the checksum
// stands at byte L, and nothing of the earlier contents reaches the frame.
TEST(BuildCommandFrame, EveryCommandAndCountGivesAConsistentFrameFreeOfStaleBytes) {
    for (int command = 0; command < kCommandCount; ++command) {
        std::string data;
        for (int count = 0; count <= 56; ++count, data += "C5 ") {
            const CommandFields fields{command, "300", "7", data, 0, 2, LcdsType::Spi};
            CommandFrame clean{}, dirty;
            DataStore cleanStore{}, dirtyStore;
            dirty.fill(0xEE);
            dirtyStore.fill(0x77);
            const BuildResult r = BuildCommandFrame(fields, clean, cleanStore);
            const BuildResult d = BuildCommandFrame(fields, dirty, dirtyStore);
            const int length = std::min(count, 55) + HeaderLength(CommandTable[command].layout);
            ASSERT_EQ(r.frameLength, length + 1) << command << "/" << count;
            ASSERT_EQ(d.frameLength, r.frameLength);
            EXPECT_EQ(clean[1], length);
            EXPECT_EQ(clean[length], std::accumulate(&clean[0], &clean[length], 0u) & 0xFF);
            EXPECT_EQ(Hex(clean.data(), length + 1u), Hex(dirty.data(), length + 1u))
                << "command " << command << " count " << count;
        }
    }
}

TEST(BuildCommandFrame, LcdsTypeChangesOnlyTheStyleByteOfStringCommands) {
    for (int command = 0; command < kCommandCount; ++command) {
        const FrameLayout layout = CommandTable[command].layout;
        const int styleAt = layout == FrameLayout::EditText ? 11
                            : layout == FrameLayout::Text   ? 7
                                                            : -1;
        CommandFrame uart{}, other{};
        DataStore store{};
        const char* data = "01 02 03 04 05 06 07";
        const int n =
            BuildCommandFrame({command, "3", "4", data, 0, 1, LcdsType::Uart}, uart, store)
                .frameLength;
        for (const LcdsType lcds : {LcdsType::Spi, LcdsType::I2c, LcdsType::Usb}) {
            ASSERT_EQ(
                BuildCommandFrame({command, "3", "4", data, 0, 1, lcds}, other, store).frameLength,
                n);
            for (int i = 0; i < n - 1; ++i) {
                const bool changes = lcds == LcdsType::Spi && i == styleAt;
                EXPECT_EQ(uart[i] != other[i], changes) << "command " << command << " byte " << i;
            }
        }
    }
}

TEST(BuildCommandFrame, SixtyPairsKeepOnly55DataBytes) {
    std::string data;
    for (int i = 0; i < 60; ++i) {
        data += std::to_string(10 + i) + " ";
    }
    CommandFrame frame{};
    DataStore store{};
    const BuildResult r =
        BuildCommandFrame({10, "0", "0", data, 0, 0, LcdsType::Uart}, frame, store);
    EXPECT_EQ(r.count, 55);
    EXPECT_EQ(r.frameLength, 63);
    EXPECT_EQ(frame[61], 0x64);  // the 55th pair, "64"
}

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
    const std::pair<const char*, int> cases[] = {
        {"320", 320},
        {" \t\n\v\f\r12", 12},
        {"+5", 5},
        {"-1", 0xFFFF},
        {"-65535", 1},
        {"65536", 0},
        {"65537", 1},
        {"0x20", 0},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"- 5", 0},
        {"+-5", 0},
        {"7 8", 7},
        {"\xB2"
         "5",
         0},
        {"99999999999999999999", 0xFFFF},
    };
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

TEST(FrameChecksum, SumsTheFirstNBytesWithNModulo256) {
    std::array<std::uint8_t, 300> bytes;
    bytes.fill(1);
    bytes[0] = 0xFF;
    const std::pair<int, int> cases[] = {{0, 0}, {1, 0xFF}, {3, 0x01}, {256, 0}, {258, 0x00}};
    for (const auto& [n, sum] : cases) {
        EXPECT_EQ(FrameChecksum(bytes.data(), n), sum) << n;
    }
}

}  // namespace
}  // namespace glassbench::protocol
