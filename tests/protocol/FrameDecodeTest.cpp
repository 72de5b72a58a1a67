// Building and reading frames back: every frame the builder makes gives back what it was built
// from, and each kind of problem is named. Expected values come from the build's inputs and the
// frame format, never from the decoder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestHex.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameDecode.h"
#include "protocol/HexText.h"

namespace glassbench::protocol {
namespace {

using glassbench::testing::Bytes;
using glassbench::testing::Hex;

std::string Joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const auto& text : texts) {
        all += (all.empty() ? "" : "; ") + text;
    }
    return all;
}

// Every command with 0 to 56 data bytes, at coordinates that wrap, for every LCDs type, built
// into buffers that hold an earlier build's bytes: nothing of those reaches the frame, the
// first 55 data bytes at most go in, and the frame reads back as what it was built from.
TEST(FrameDecodeTest, EveryBuiltFrameGivesBackItsFields) {
    const std::pair<int, int> coordinates[] = {{0, 0}, {320, 240}, {-1, 65536}, {70000, -32768}};
    for (int index = 0; index < kCommandCount; ++index) {
        const CommandInfo& command = CommandTable[static_cast<std::size_t>(index)];
        const auto layout = command.layout;
        std::vector<std::uint8_t> input;
        std::string dataText;
        for (int count = 0; count <= kMaxDataBytes + 1; ++count) {
            const int kept = std::min(count, kMaxDataBytes);
            for (const auto& [xIn, yIn] : coordinates) {
                for (const LcdsType lcds :
                     {LcdsType::Uart, LcdsType::Spi, LcdsType::I2c, LcdsType::Usb}) {
                    // Transparent "Yes", font 12x24: the SPI form then has bit 3 set and can
                    // never read as the base form.
                    const CommandFields fields{
                        index, std::to_string(xIn), std::to_string(yIn), dataText, 0, 1, lcds};
                    CommandFrame frame, clean{};
                    DataStore store, cleanStore{};
                    frame.fill(0xEE);
                    store.fill(0x77);
                    const auto built = BuildCommandFrame(fields, frame, store);
                    BuildCommandFrame(fields, clean, cleanStore);
                    const std::string at = std::string(command.listText) + " count " +
                                           std::to_string(count) + " x " + std::to_string(xIn) +
                                           " lcds " + std::to_string(static_cast<int>(lcds));
                    ASSERT_EQ(built.frameLength, kept + HeaderLength(layout) + 1) << at;
                    const auto n = static_cast<std::size_t>(built.frameLength);
                    EXPECT_EQ(Hex(frame.data(), n), Hex(clean.data(), n)) << at;
                    const DecodedFrame d = DecodeFrame(frame.data(), built.frameLength);
                    ASSERT_EQ(d.command, &command) << at;
                    EXPECT_EQ(d.id, command.id);
                    EXPECT_TRUE(d.checksumOk) << at;

                    // What the layout carries of the Data: fixed layouts their own count
                    // (Clear none), zeros beyond it; an edit text's fifth byte is its style.
                    std::vector<std::uint8_t> expected(input.begin(), input.begin() + kept);
                    const std::size_t carried = layout == FrameLayout::Clear         ? 0
                                                : layout == FrameLayout::PairParam   ? 2
                                                : layout == FrameLayout::SingleParam ? 1
                                                                                     : 56;
                    for (std::size_t i = carried; i < expected.size(); ++i) {
                        expected[i] = 0;
                    }
                    const bool editStyle = layout == FrameLayout::EditText && kept >= 5;
                    if (editStyle) {
                        ASSERT_TRUE(d.style) << at;
                        expected[4] = d.style->byte;
                    }
                    EXPECT_EQ(Hex(d.data), Hex(expected)) << at;

                    const bool coordinatesKept = HeaderLength(layout) > 3;
                    EXPECT_EQ(d.HasFields(), coordinatesKept) << at;
                    if (coordinatesKept) {
                        EXPECT_EQ(*d.x, static_cast<std::uint16_t>((xIn % 65536 + 65536) % 65536));
                        EXPECT_EQ(*d.y, static_cast<std::uint16_t>((yIn % 65536 + 65536) % 65536));
                    }
                    const bool styled =
                        layout == FrameLayout::Glyph || layout == FrameLayout::Text || editStyle;
                    ASSERT_EQ(d.style.has_value(), styled) << at;
                    if (styled) {
                        const bool spi = lcds == LcdsType::Spi && layout != FrameLayout::Glyph;
                        EXPECT_EQ(d.style->spiForm, spi) << at;
                        EXPECT_TRUE(d.style->transparent) << at;
                        EXPECT_EQ(d.style->fontSize, "12x24") << at;
                        if (spi) {
                            EXPECT_EQ(d.style->characters,
                                      (kept - command.charOffset) / command.bytesPerChar % 16)
                                << at;
                        }
                    }

                    // The only problem a built frame can have: a data count its layout does
                    // not take.
                    const bool countFits = command.dataBytes >= 0
                                               ? kept == command.dataBytes
                                               : layout != FrameLayout::EditText || kept >= 5;
                    EXPECT_EQ(Joined(d.problems), d.lengthProblem) << at;
                    EXPECT_EQ(d.lengthProblem.empty(), countFits) << at << ": " << d.lengthProblem;
                    EXPECT_EQ(d.lengthProblem.rfind(std::to_string(kept) + " data byte", 0),
                              countFits ? std::string::npos : 0u)
                        << d.lengthProblem;
                }
            }
            input.push_back(static_cast<std::uint8_t>(0xA5 + 7 * count));
            dataText += Hex(&input.back(), 1) + " ";
        }
    }
}

TEST(FrameDecodeTest, NamesEveryProblemAndKeepsTheFieldsItHas) {
    std::string tooLong = "AA 3F 8A 00 00 00 00";  // 56 data bytes
    unsigned sum = 0xAA + 0x3F + 0x8A;
    for (int i = 0; i < 56; ++i) {
        tooLong += " 01";
        ++sum;
    }
    tooLong += " " + Hex(std::vector<std::uint8_t>{static_cast<std::uint8_t>(sum)});
    const struct {
        std::string hex;
        const char* fields;
        const char* problems;
    } cases[] = {
        // clang-format off
        {"AA 04 80 00 2E", "data=[00] checksum=2E good", ""},
        {"AA 03 80 2D", "data=[] checksum=2D good", "0 data bytes where the command takes 1"},
        {"AA 04 81 F8 27", "data=[F8] checksum=27 good", "1 data byte where the command takes 2"},
        {"AA 04 80 00 2F", "data=[00] checksum=2F bad (sum 2E)", "bad checksum (sum 2E)"},
        {"AA 04 90 00 3E", "data=[00] checksum=3E good", "unknown command 90"},
        {"AA 04 99 01 3F", "data=[01] checksum=3F bad (sum 48)", "bad checksum (sum 48); unknown command 99"},
        {"AA 05 8A 00 01 3A", "data=[00 01] checksum=3A good", "length 5 is shorter than its 7-byte header"},
        {"AA 0B 9C 00 00 00 00 01 02 03 04 5B", "x=0 y=0 params=[01 02 03 04] checksum=5B good",
         "4 data bytes where an edit text takes 5 or more"},
        {"AA 0A 86 00 0A 00 14 2A 48 49 13",
         "x=10 y=20 style=2A (spi chars=2 transparent=yes font=12x24) data=[48 49] checksum=13 good", ""},
        // A glyph never has the SPI form.
        {"AA 09 85 00 0A 00 14 2A 41 C1",
         "x=10 y=20 style=2A (transparent=no font=?) data=[41] checksum=C1 good", ""},
        {tooLong, "", "56 data bytes, more than 55"},
        {"AA 01", "", "length 1 holds no command"},
        {"AA 05 80 00", "", "4 bytes where length 5 makes 6"},
        // clang-format on
    };
    for (const auto& c : cases) {
        const auto bytes = Bytes(c.hex);
        const DecodedFrame d = DecodeFrame(bytes.data(), static_cast<int>(bytes.size()));
        if (*c.fields != '\0') {
            EXPECT_EQ(FieldsText(d), c.fields) << c.hex;
        }
        EXPECT_EQ(Joined(d.problems), c.problems) << c.hex;
    }
}

}  // namespace
}  // namespace glassbench::protocol
