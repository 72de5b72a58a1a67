// Reading frames back into their fields, on worked examples: the builder's own examples and
// frames it would never make. The expected fields were read off the bytes by hand.
#include <gtest/gtest.h>

#include <string>

#include "TestHex.h"
#include "protocol/FrameDecode.h"

namespace glassbench::protocol {
namespace {

TEST(FrameDecodeTest, ReadsEachLayoutsFieldsFromWorkedExamples) {
    const std::pair<const char*, const char*> cases[] = {
        // clang-format off
        {"AA 04 80 00 2E", "data=[00] checksum=2E good"},
        {"AA 05 81 F8 00 28", "data=[F8 00] checksum=28 good"},
        {"AA 06 82 01 02 00 35", "data=[01 02 00] checksum=35 good"},
        {"AA 09 85 00 0A 00 14 F1 41 88",
         "x=10 y=20 style=F1 (transparent=yes font=8x16) data=[41] checksum=88 good"},
        {"AA 09 85 00 00 00 00 00 41 79",
         "x=0 y=0 style=00 (transparent=no font=none) data=[41] checksum=79 good"},
        // A glyph's style byte is always the base form, even where it cannot be one.
        {"AA 09 85 00 0A 00 14 2A 41 C1",
         "x=10 y=20 style=2A (transparent=no font=?) data=[41] checksum=C1 good"},
        {"AA 0A 86 00 0A 00 14 F2 48 49 DB",
         "x=10 y=20 style=F2 (transparent=yes font=12x24) data=[48 49] checksum=DB good"},
        {"AA 0A 86 00 0A 00 14 2A 48 49 13",
         "x=10 y=20 style=2A (spi chars=2 transparent=yes font=12x24) data=[48 49] checksum=13 good"},
        {"AA 0C 88 00 00 00 00 24 B0 A1 B0 A2 05",
         "x=0 y=0 style=24 (spi chars=2 transparent=no font=16x16) data=[B0 A1 B0 A2] checksum=05 good"},
        {"AA 07 8A FF FF 00 00 39", "x=65535 y=0 data=[] checksum=39 good"},
        {"AA 09 9A 01 40 00 F0 01 02 81", "x=320 y=240 data=[01 02] checksum=81 good"},
        {"AA 0E 9C 00 05 00 06 01 02 03 04 F1 41 42 DD",
         "x=5 y=6 params=[01 02 03 04] style=F1 (transparent=yes font=8x16) data=[41 42] checksum=DD good"},
        {"AA 0E 9D 00 05 00 06 01 02 03 04 13 B0 A1 CE",
         "x=5 y=6 params=[01 02 03 04] style=13 (spi chars=1 transparent=no font=16x32) data=[B0 A1] checksum=CE good"},
        // Four data bytes leave an edit text no style byte.
        {"AA 0B 9C 00 00 00 00 01 02 03 04 5B", "x=0 y=0 params=[01 02 03 04] checksum=5B good"},
        // What the bytes hold is still given: after a bad checksum, for an unknown code (its
        // data from byte 3), and for a length too short for the header.
        {"AA 04 80 00 2F", "data=[00] checksum=2F bad (sum 2E)"},
        {"AA 04 90 00 3E", "data=[00] checksum=3E good"},
        {"AA 05 8A 00 01 3A", "data=[00 01] checksum=3A good"},
        // clang-format on
    };
    for (const auto& [hex, fields] : cases) {
        const auto bytes = glassbench::testing::Bytes(hex);
        const DecodedFrame d = DecodeFrame(bytes.data(), static_cast<int>(bytes.size()));
        EXPECT_EQ(FieldsText(d), fields) << hex;
    }
}

}  // namespace
}  // namespace glassbench::protocol
