// The port and speed tables, and how GLASSBENCH_PORTS takes the first positions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "serial/PortTables.h"

namespace glassbench::serial {
namespace {

TEST(SpeedTableTest, IndicesGiveTheListsSpeeds) {
    const int expected[] = {1200, 2400, 4800, 9600, 19200, 57600, 115200};
    for (int i = 0; i < kSpeedCount; ++i) {
        ASSERT_NE(SpeedAt(i), nullptr);
        EXPECT_EQ(SpeedAt(i)->bitsPerSecond, expected[i]);
        EXPECT_EQ(SpeedAt(i)->text, std::to_string(expected[i]));
    }
    EXPECT_EQ(SpeedAt(-1), nullptr);
    EXPECT_EQ(SpeedAt(kSpeedCount), nullptr);
    EXPECT_EQ(SpeedAt(kDefaultSpeedIndex)->bitsPerSecond, 9600);
}

struct OverrideCase {
    const char* overrides;
    std::vector<std::pair<int, std::string>> expected;
};

TEST(PortNameTableTest, OverridesTakeTheFirstPositionsInOrder) {
    const PortNames defaults = DefaultPortNames();
    const OverrideCase cases[] = {
        {"", {{0, defaults[0]}, {29, defaults[29]}}},
        {"/tmp/a", {{0, "/tmp/a"}, {1, defaults[1]}}},
        {"/tmp/a:/dev/serial/by-id/usb-x:/tmp/c",
         {{0, "/tmp/a"}, {1, "/dev/serial/by-id/usb-x"}, {2, "/tmp/c"}, {3, defaults[3]}}},
        {"::/tmp/a:::/tmp/b:", {{0, "/tmp/a"}, {1, "/tmp/b"}, {2, defaults[2]}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.overrides);
        const PortNames names = BuildPortNameTable(c.overrides);
        for (const auto& [index, name] : c.expected) {
            EXPECT_EQ(names[static_cast<std::size_t>(index)], name) << index;
        }
    }
}

TEST(PortNameTableTest, EntriesBeyondThirtyAreIgnored) {
    std::string overrides;
    for (int i = 0; i < 35; ++i) {
        overrides += "/v/" + std::to_string(i) + ":";
    }
    const PortNames names = BuildPortNameTable(overrides);
    EXPECT_EQ(names[0], "/v/0");
    EXPECT_EQ(names[29], "/v/29");
}

TEST(PortNameTableTest, EnvironmentVariableIsApplied) {
    ASSERT_EQ(::setenv("GLASSBENCH_PORTS", "/tmp/module-link", 1), 0);
    EXPECT_EQ(PortNameTable()[0], "/tmp/module-link");
    EXPECT_EQ(PortNameTable()[1], DefaultPortNames()[1]);
    ASSERT_EQ(::unsetenv("GLASSBENCH_PORTS"), 0);
    EXPECT_EQ(PortNameTable(), DefaultPortNames());
}

}  // namespace
}  // namespace glassbench::serial
