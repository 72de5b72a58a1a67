// The Windows table, built here from the same sources the Windows build uses.
#include <gtest/gtest.h>

#include "serial/PortTables.h"

namespace glassbench::serial {
namespace {

TEST(Win32PortNamesTest, PlainNamesUpToNineThenTheDeviceNamespace) {
    const struct {
        int index;
        const char* name;
    } cases[] = {
        {0, "COM1"},
        {8, "COM9"},
        {9, "\\\\.\\COM10"},
        {29, "\\\\.\\COM30"},
    };
    const PortNames names = DefaultPortNames();
    for (const auto& c : cases) {
        EXPECT_EQ(names[static_cast<std::size_t>(c.index)], c.name);
    }
    EXPECT_EQ(BuildPortNameTable("COM42")[0], "COM42");
}

}  // namespace
}  // namespace glassbench::serial
