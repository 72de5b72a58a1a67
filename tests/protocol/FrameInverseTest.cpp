// The builder read backwards. The property is checked over a generated sweep (every command,
// every data count, every Transparent/FontSize/LCDs choice, coordinates that wrap): build, read
// back, build again, compare. Worked examples show the plainest choices (no selection, Clear
// Screen's byte, an edit text's D4) and frames that no fields build.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "TestHex.h"
#include "protocol/FrameInverse.h"
#include "protocol/HexText.h"

namespace glassbench::protocol {
namespace {

using glassbench::testing::Bytes;
using glassbench::testing::Hex;

std::vector<std::uint8_t> Build(const CommandFields& fields) {
    CommandFrame frame{};
    DataStore store{};
    const int n = BuildCommandFrame(fields, frame, store).frameLength;
    return {frame.begin(), frame.begin() + n};
}

std::optional<CommandFields> Inverse(const std::vector<std::uint8_t>& bytes) {
    return FieldsForFrame(bytes.data(), static_cast<int>(bytes.size()));
}

auto Tie(const CommandFields& f) {
    return std::tie(f.commandIndex, f.xText, f.yText, f.dataText, f.transparentIndex,
                    f.fontSizeIndex, f.lcdsType);
}

TEST(FieldsForFrame, EveryBuiltFrameComesBackAsFieldsThatBuildItAgain) {
    const char* coordinates[] = {"0", "-1", "65536", "320", "70000", "-32768"};
    int built = 0;
    for (int command = 0; command < kCommandCount; ++command) {
        const FrameLayout layout = CommandTable[static_cast<std::size_t>(command)].layout;
        const bool styled = layout == FrameLayout::Glyph || layout == FrameLayout::Text ||
                            layout == FrameLayout::EditText;
        for (int count = 0; count <= kMaxDataBytes; ++count) {
            std::vector<std::uint8_t> data(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) {
                data[static_cast<std::size_t>(i)] =
                    static_cast<std::uint8_t>(i * 37 + count * 11 + command);
            }
            // Transparent -1..1, FontSize -1..5, LCDs Type 0..3.
            for (int choice = 0; choice < (styled ? 3 * 7 * 4 : 1); ++choice) {
                CommandFields fields{command,
                                     coordinates[(count + choice) % 6],
                                     coordinates[(count + choice + 1) % 6],
                                     Hex(data),
                                     choice % 3 - 1,
                                     choice / 3 % 7 - 1,
                                     LcdsTypeFromIndex(choice / 21)};
                const auto bytes = Build(fields);
                const auto inverse = Inverse(bytes);
                ASSERT_TRUE(inverse) << Hex(bytes);
                ASSERT_EQ(Hex(Build(*inverse)), Hex(bytes));
                ++built;
                // Plainer choices give other bytes: "No" gives what no selection does, and Uart
                // what SPI does wherever it can.
                EXPECT_NE(inverse->transparentIndex, -1) << Hex(bytes);
                if (inverse->lcdsType != LcdsType::Uart) {
                    fields = *inverse;
                    fields.lcdsType = LcdsType::Uart;
                    EXPECT_NE(Hex(Build(fields)), Hex(bytes));
                }
            }
        }
    }
    EXPECT_EQ(built, (14 + 6 * 84) * (kMaxDataBytes + 1));
}

TEST(FieldsForFrame, PicksThePlainestChoiceOrNone) {
    const struct {
        const char* bytes;
        std::optional<CommandFields> fields;
    } cases[] = {
        // clang-format off
        {"AA 04 80 00 2E", CommandFields{0, "0", "0", "00", 0, 0, LcdsType::Uart}},
        {"AA 03 80 2D", CommandFields{0, "0", "0", "", 0, 0, LcdsType::Uart}},
        {"AA 09 85 00 00 00 00 00 41 79", CommandFields{5, "0", "0", "41", 1, -1, LcdsType::Uart}},
        {"AA 0A 86 00 0A 00 14 2A 48 49 13", CommandFields{6, "10", "20", "48 49", 0, 1, LcdsType::Spi}},
        {"AA 0E 9C 00 05 00 06 01 02 03 04 F1 41 42 DD",
         CommandFields{18, "5", "6", "01 02 03 04 00 41 42", 0, 0, LcdsType::Uart}},
        {"AA 07 8A FF FF 00 00 39", CommandFields{10, "65535", "0", "", 0, 0, LcdsType::Uart}},
        {"AA 04 80 00 2F", std::nullopt},                     // bad checksum
        {"AA 04 90 00 3E", std::nullopt},                     // a code of no command
        {"AA 05 8A 00 01 3A", std::nullopt},                  // shorter than its header
        {"AA 05 80 00 01 30", std::nullopt},                  // a byte Clear Screen never sends
        {"AA 06 81 01 02 03 37", std::nullopt},               // nor a colour past its two bytes
        {"AA 09 85 00 0A 00 14 2A 41 C1", std::nullopt},      // a glyph's style in SPI form
        {"AA 0A 86 00 0A 00 14 3A 48 49 23", std::nullopt},   // three characters in two bytes
        {"AA 0A 86 00 0A 00 14 2F 48 49 18", std::nullopt},   // font value 7
        {"AA 04 80 00", std::nullopt},                        // cut short
        {"AB 04 80 00 2F", std::nullopt},                     // no start byte
        // clang-format on
    };
    for (const auto& c : cases) {
        const auto inverse = Inverse(Bytes(c.bytes));
        ASSERT_EQ(inverse.has_value(), c.fields.has_value()) << c.bytes;
        if (inverse) {
            EXPECT_EQ(Tie(*inverse), Tie(*c.fields)) << c.bytes;
        }
    }
    // 56 data bytes, one more than a Data text gives: L = 63, the checksum AA + 3F + 8A.
    std::vector<std::uint8_t> longest{0xAA, 63, 0x8A};
    longest.resize(64);
    longest[63] = 0x73;
    EXPECT_FALSE(Inverse(longest));
}

}  // namespace
}  // namespace glassbench::protocol
