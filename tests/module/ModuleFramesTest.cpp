// The virtual module's line for each frame it reads.
#include <gtest/gtest.h>

#include <string>

#include "TestHex.h"
#include "module/ModuleFrames.h"
#include "protocol/FrameRules.h"

namespace glassbench::module {
namespace {

TEST(DescribeFrameTest, OneLinePerFrame) {
    const std::pair<const char*, const char*> cases[] = {
        {"AA 09 85 00 0A 00 14 F1 41 88",
         "Ascii Display x=10 y=20 style=F1 (transparent=yes font=8x16) data=[41] checksum=88 "
         "good -> status 0"},
        {"AA 0E 9C 00 05 00 06 01 02 03 04 F1 41 42 DD",
         "Draw Edit Ascii String x=5 y=6 params=[01 02 03 04] style=F1 (transparent=yes "
         "font=8x16) data=[41 42] checksum=DD good -> status 0"},
        {"AA 04 81 F8 27",
         "Set Background Color data=[F8] checksum=27 good length 4 outside 5-58 -> status 3"},
        {"AA 01", "header AA 01: length 1 holds no command -> status 3"},
    };
    for (const auto& [hex, line] : cases) {
        const Bytes frame = glassbench::testing::Bytes(hex);
        const auto status = protocol::CheckFrame(frame.data(), static_cast<int>(frame.size()),
                                                 protocol::Reading::Lenient)
                                .status;
        EXPECT_EQ(DescribeFrame(frame, status), line);
    }
}

}  // namespace
}  // namespace glassbench::module
