#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "TestHex.h"
#include "protocol/CommandFrame.h"
#include "protocol/HexText.h"

namespace glassbench::protocol {
namespace {

using glassbench::testing::Hex;

struct FrameCase {
    const char* name;
    int command;
    const char* x;
    const char* y;
    const char* data;
    int transparent;
    int fontSize;
    LcdsType lcds;
    const char* frame;
    const char* lengh;
    const char* checksum;
};

class BuildCommandFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(BuildCommandFrameTest, BuildsTheExactFrame) {
    const FrameCase& c = GetParam();
    const CommandFields fields{c.command, c.x, c.y, c.data, c.transparent, c.fontSize, c.lcds};
    CommandFrame frame{};
    DataStore store{};
    const BuildResult result = BuildCommandFrame(fields, frame, store);
    EXPECT_EQ(Hex(frame.data(), static_cast<std::size_t>(result.frameLength)), c.frame);
    EXPECT_EQ(result.lenghText, c.lengh);
    EXPECT_EQ(result.checkSumText, c.checksum);
}

constexpr auto U = LcdsType::Uart;
constexpr auto S = LcdsType::Spi;

INSTANTIATE_TEST_SUITE_P(
    Examples, BuildCommandFrameTest,
    ::testing::Values(
        FrameCase{"ClearDefault", 0, "0", "0", "0", 0, 0, U, "AA 04 80 00 2E", "4", "2e"},
        FrameCase{"ClearZeroData", 0, "0", "0", "00", 0, 0, U, "AA 04 80 00 2E", "4", "2e"},
        FrameCase{"ClearIgnoresItsDataByte", 0, "0", "0", "7F", 0, 0, U, "AA 04 80 00 2E", "4",
                  "2e"},
        FrameCase{"BackgroundColor", 1, "0", "0", "F8 00", 0, 0, U, "AA 05 81 F8 00 28", "5", "28"},
        FrameCase{"Brightness", 3, "0", "0", "05", 0, 0, U, "AA 04 83 05 36", "4", "36"},
        FrameCase{"AsciiDisplay", 5, "10", "20", "41", 0, 0, U, "AA 09 85 00 0A 00 14 F1 41 88",
                  "9", "88"},
        FrameCase{"AsciiStringUart", 6, "10", "20", "48 49", 0, 1, U,
                  "AA 0A 86 00 0A 00 14 F2 48 49 DB", "a", "db"},
        FrameCase{"AsciiStringSpi", 6, "10", "20", "48 49", 0, 1, S,
                  "AA 0A 86 00 0A 00 14 2A 48 49 13", "a", "13"},
        FrameCase{"GlyphIgnoresSpi", 5, "10", "20", "41", 0, 0, S, "AA 09 85 00 0A 00 14 F1 41 88",
                  "9", "88"},
        FrameCase{"ChineseStringSpi", 8, "0", "0", "B0 A1 B0 A2", 1, 3, S,
                  "AA 0C 88 00 00 00 00 24 B0 A1 B0 A2 05", "c", "5"},
        FrameCase{"DrawPoint", 10, "100", "50", "F8 00", 0, 0, U, "AA 09 8A 00 64 00 32 F8 00 CB",
                  "9", "cb"},
        FrameCase{"DrawBoxSkipsTenCodes", 16, "320", "240", "01 02", 0, 0, U,
                  "AA 09 9A 01 40 00 F0 01 02 81", "9", "81"},
        FrameCase{"EditAsciiUart", 18, "5", "6", "01 02 03 04 00 41 42", 0, 0, U,
                  "AA 0E 9C 00 05 00 06 01 02 03 04 F1 41 42 DD", "e", "dd"},
        FrameCase{"EditAsciiSpi", 18, "5", "6", "01 02 03 04 00 41 42", 0, 0, S,
                  "AA 0E 9C 00 05 00 06 01 02 03 04 29 41 42 15", "e", "15"},
        FrameCase{"EditChineseSpi", 19, "5", "6", "01 02 03 04 00 B0 A1", 1, 2, S,
                  "AA 0E 9D 00 05 00 06 01 02 03 04 13 B0 A1 CE", "e", "ce"},
        FrameCase{"EditWithFourBytesHasNoStyle", 18, "0", "0", "01 02 03 04", 0, 0, U,
                  "AA 0B 9C 00 00 00 00 01 02 03 04 5B", "b", "5b"},
        FrameCase{"CoordinatesWrap", 10, "-1", "65536", "", 0, 0, U, "AA 07 8A FF FF 00 00 39", "7",
                  "39"},
        // A fixed layout given another data count: zeros where the layout defines nothing,
        // the checksum at byte L.
        FrameCase{"PairParamShort", 1, "0", "0", "05", 0, 0, U, "AA 04 81 05 34", "4", "34"},
        FrameCase{"PairParamLong", 2, "0", "0", "01 02 03", 0, 0, U, "AA 06 82 01 02 00 35", "6",
                  "35"},
        FrameCase{"ClearEmpty", 0, "0", "0", "", 0, 0, U, "AA 03 80 2D", "3", "2d"},
        FrameCase{"ClearLong", 0, "0", "0", "11 22", 0, 0, U, "AA 05 80 00 00 2F", "5", "2f"},
        FrameCase{"SingleParamLong", 3, "0", "0", "05 06", 0, 0, U, "AA 05 83 05 00 37", "5", "37"},
        FrameCase{"SingleParamEmpty", 4, "0", "0", "", 0, 0, U, "AA 03 84 31", "3", "31"}),
    [](const auto& info) { return std::string(info.param.name); });

// The length byte of every command for every data count, with the checksum at byte L.
TEST(BuildCommandFrame, EveryLayoutPutsItsLengthAndChecksumWhereTheyBelong) {
    for (int command = 0; command < kCommandCount; ++command) {
        const FrameLayout layout = CommandTable[static_cast<std::size_t>(command)].layout;
        const int overhead = layout == FrameLayout::Glyph || layout == FrameLayout::Text       ? 8
                             : layout == FrameLayout::Shape || layout == FrameLayout::EditText ? 7
                                                                                               : 3;
        std::string data;
        for (int count = 0; count <= 56; ++count) {
            CommandFrame frame{};
            DataStore store{};
            const CommandFields fields{command, "300", "7", data, 0, 2, LcdsType::Spi};
            const BuildResult result = BuildCommandFrame(fields, frame, store);
            const int expectedCount = std::min(count, 55);
            const int length = expectedCount + overhead;
            ASSERT_EQ(result.count, expectedCount);
            ASSERT_EQ(result.frameLength, length + 1) << "command " << command;
            EXPECT_EQ(frame[0], 0xAA);
            EXPECT_EQ(frame[1], length);
            EXPECT_EQ(frame[2], CommandTable[static_cast<std::size_t>(command)].id);
            const unsigned sum = std::accumulate(frame.begin(), frame.begin() + length, 0u);
            EXPECT_EQ(frame[static_cast<std::size_t>(length)], sum & 0xFF)
                << "command " << command << " count " << count;
            data += "C5 ";
        }
    }
}

// The frame buffer and data store are reused from send to send; no build may pass on what an
// earlier one left there.
TEST(BuildCommandFrame, NeverCarriesBytesFromAnEarlierBuild) {
    for (int command = 0; command < kCommandCount; ++command) {
        for (const char* data : {"", "01", "01 02", "01 02 03", "01 02 03 04 05 06"}) {
            const CommandFields fields{command, "1", "2", data, 1, 4, LcdsType::Uart};
            CommandFrame clean{};
            DataStore cleanStore{};
            CommandFrame dirty;
            DataStore dirtyStore;
            dirty.fill(0xEE);
            dirtyStore.fill(0x77);
            const BuildResult a = BuildCommandFrame(fields, clean, cleanStore);
            const BuildResult b = BuildCommandFrame(fields, dirty, dirtyStore);
            ASSERT_EQ(a.frameLength, b.frameLength);
            EXPECT_EQ(Hex(clean.data(), static_cast<std::size_t>(a.frameLength)),
                      Hex(dirty.data(), static_cast<std::size_t>(b.frameLength)))
                << "command " << command << " data '" << data << "'";
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
    const BuildResult result =
        BuildCommandFrame({10, "0", "0", data, 0, 0, LcdsType::Uart}, frame, store);
    EXPECT_EQ(result.count, 55);
    EXPECT_EQ(frame[1], 62);
    EXPECT_EQ(result.frameLength, 63);
    EXPECT_EQ(frame[61], 0x64);  // the 55th pair, "64"
}

TEST(BuildCommandFrame, LcdsTypeChangesOnlyTheStyleByteOfStringCommands) {
    for (int command = 0; command < kCommandCount; ++command) {
        const FrameLayout layout = CommandTable[static_cast<std::size_t>(command)].layout;
        const bool hasSpiStyle = layout == FrameLayout::Text || layout == FrameLayout::EditText;
        CommandFrame uart{};
        CommandFrame other{};
        DataStore store{};
        const char* data = "01 02 03 04 05 06 07";
        const BuildResult u =
            BuildCommandFrame({command, "3", "4", data, 0, 1, LcdsType::Uart}, uart, store);
        for (const LcdsType lcds : {LcdsType::Spi, LcdsType::I2c, LcdsType::Usb}) {
            const BuildResult o =
                BuildCommandFrame({command, "3", "4", data, 0, 1, lcds}, other, store);
            ASSERT_EQ(u.frameLength, o.frameLength);
            const int styleAt = layout == FrameLayout::EditText ? 11 : 7;
            for (int i = 0; i < u.frameLength - 1; ++i) {
                if (hasSpiStyle && lcds == LcdsType::Spi && i == styleAt) {
                    EXPECT_NE(uart[static_cast<std::size_t>(i)],
                              other[static_cast<std::size_t>(i)]);
                } else {
                    EXPECT_EQ(uart[static_cast<std::size_t>(i)], other[static_cast<std::size_t>(i)])
                        << "command " << command << " byte " << i;
                }
            }
        }
    }
}

struct StyleCase {
    int transparent;
    int fontSize;
    std::uint8_t expected;
};

TEST(BaseStyleByte, PacksTransparencyAndFont) {
    const StyleCase cases[] = {
        {0, 0, 0xF1},  {0, 5, 0xF6}, {1, 0, 0x01},  {1, 5, 0x06}, {-1, -1, 0x00},
        {0, -1, 0xF0}, {1, 6, 0x00}, {0, -2, 0xF0}, {2, 2, 0x03}, {0, 254, 0xF0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BaseStyleByte(c.transparent, c.fontSize), c.expected)
            << c.transparent << "/" << c.fontSize;
    }
}

struct SpiCountCase {
    int command;
    int count;
    int transparent;
    int fontSize;
    std::uint8_t expected;
};

TEST(SpiStyleByte, CountsCharactersPerCommand) {
    const SpiCountCase cases[] = {
        {6, 2, 0, 1, 0x2A},   {6, 17, 1, 0, 0x11},  {6, 16, 1, 0, 0x01}, {8, 4, 1, 3, 0x24},
        {8, 5, 1, 3, 0x24},   {8, 0, -1, -1, 0x00}, {18, 7, 0, 0, 0x29}, {18, 5, 1, 0, 0x01},
        {18, 21, 1, 0, 0x01}, {19, 7, 1, 2, 0x13},  {19, 6, 1, 2, 0x03}, {19, 9, 0, 5, 0x2E},
    };
    for (const auto& c : cases) {
        const CommandInfo& command = CommandTable[static_cast<std::size_t>(c.command)];
        const std::uint8_t base = BaseStyleByte(c.transparent, c.fontSize);
        EXPECT_EQ(SpiStyleByte(command, c.count, c.transparent, base), c.expected)
            << command.listText << " count " << c.count;
    }
}

struct CoordinateCase {
    const char* text;
    std::uint16_t expected;
};

TEST(ReadCoordinate, ReadsLikeCAndKeepsTheLow16Bits) {
    const CoordinateCase cases[] = {
        {"0", 0},
        {"320", 320},
        {" \t\n\v\f\r12", 12},
        {"+5", 5},
        {"-1", 0xFFFF},
        {"-65535", 1},
        {"65536", 0},
        {"65537", 1},
        {"99999999999999999999", 0xFFFF},
        {"0x20", 0},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"- 5", 0},
        {"--5", 0},
        {"+-5", 0},
        {"7 8", 7},
        {"\xB2"
         "5",
         0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadCoordinate(c.text), c.expected) << "'" << c.text << "'";
    }
}

TEST(CommandCodeForIndex, SkipsTheTenUnusedCodes) {
    const std::pair<int, CommandId> cases[] = {
        {0, 0x80},  {9, 0x89},   {15, 0x8F},  {16, 0x9A},  {19, 0x9D},
        {-1, 0x89}, {256, 0x80}, {271, 0x8F}, {272, 0x9A},
    };
    for (const auto& [index, code] : cases) {
        EXPECT_EQ(CommandCodeForIndex(index), code) << index;
    }
    for (int index = 0; index < kCommandCount; ++index) {
        EXPECT_EQ(CommandCodeForIndex(index), CommandTable[static_cast<std::size_t>(index)].id);
    }
}

TEST(FrameChecksum, SumsTheFirstNBytesWithNModulo256) {
    std::array<std::uint8_t, 300> bytes;
    bytes.fill(1);
    bytes[0] = 0xFF;
    EXPECT_EQ(FrameChecksum(bytes.data(), 0), 0);
    EXPECT_EQ(FrameChecksum(bytes.data(), 1), 0xFF);
    EXPECT_EQ(FrameChecksum(bytes.data(), 3), 0x01);  // 0xFF + 1 + 1 wraps
    EXPECT_EQ(FrameChecksum(bytes.data(), 256), 0);
    EXPECT_EQ(FrameChecksum(bytes.data(), 258), 0x00);  // 258 counts as 2 bytes: FF + 01
}

TEST(TranscriptBytes, ShowsTheMiddleOfTheFrameForSpiAndI2c) {
    const auto build = [](CommandFrame& frame) {
        DataStore store{};
        return BuildCommandFrame({0, "0", "0", "0", 0, 0, LcdsType::Uart}, frame, store)
            .frameLength;
    };
    for (const LcdsType lcds : {LcdsType::Spi, LcdsType::I2c}) {
        CommandFrame frame{};
        const int n = TranscriptBytes(frame, build(frame), lcds);
        EXPECT_EQ(FormatHexBytes(frame.data(), n), "80 00 ");
    }
    for (const LcdsType lcds : {LcdsType::Uart, LcdsType::Usb}) {
        CommandFrame frame{};
        const int n = TranscriptBytes(frame, build(frame), lcds);
        EXPECT_EQ(FormatHexBytes(frame.data(), n), "AA 04 80 00 2E ");
    }
    CommandFrame shortest{};
    DataStore store{};
    const int n =
        BuildCommandFrame({0, "0", "0", "", 0, 0, LcdsType::Spi}, shortest, store).frameLength;
    EXPECT_EQ(FormatHexBytes(shortest.data(), TranscriptBytes(shortest, n, LcdsType::Spi)), "80 ");
}

TEST(CommandTable, NamesAreUniqueAndFindable) {
    for (int i = 0; i < kCommandCount; ++i) {
        const CommandInfo& row = CommandTable[static_cast<std::size_t>(i)];
        EXPECT_EQ(FindCommand(row.listText), i);
        EXPECT_EQ(FindCommand(row.section), i);
        EXPECT_EQ(CommandById(row.id), &row);
    }
    EXPECT_FALSE(FindCommand("draw point").has_value());
    EXPECT_EQ(CommandById(0x90), nullptr);
    EXPECT_EQ(CommandAt(20), nullptr);
    EXPECT_EQ(CommandAt(-1), nullptr);
}

TEST(LowerHex, FormatsLikePercentX) {
    EXPECT_EQ(LowerHex(0), "0");
    EXPECT_EQ(LowerHex(4), "4");
    EXPECT_EQ(LowerHex(0x2E), "2e");
    EXPECT_EQ(LowerHex(0x3F), "3f");
}

}  // namespace
}  // namespace glassbench::protocol
