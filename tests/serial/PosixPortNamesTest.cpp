// Linux port positions: USB adapters, then CDC-ACM devices, then on-board UARTs.
#include <gtest/gtest.h>

#include "serial/PortTables.h"

namespace glassbench::serial {
namespace {

TEST(PosixPortNamesTest, UsbThenAcmThenOnBoard) {
    const struct {
        int index;
        const char* name;
    } cases[] = {
        {0, "/dev/ttyUSB0"},  {9, "/dev/ttyUSB9"}, {10, "/dev/ttyACM0"},
        {19, "/dev/ttyACM9"}, {20, "/dev/ttyS0"},  {29, "/dev/ttyS9"},
    };
    const PortNames names = DefaultPortNames();
    for (const auto& c : cases) {
        EXPECT_EQ(names[static_cast<std::size_t>(c.index)], c.name);
    }
}

}  // namespace
}  // namespace glassbench::serial
