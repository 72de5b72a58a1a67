// The Windows table, built here from the same sources the Windows build uses: from COM10 on
// a port needs the device namespace prefix, which CreateFileA requires past COM9.
#include <gtest/gtest.h>

#include "serial/PortTables.h"
#include "serial/Win32PortNames.h"

namespace glassbench::serial {
namespace {

TEST(Win32PortNamesTest, PlainNamesUpToNineThenTheDeviceNamespace) {
    EXPECT_EQ(DefaultPortNames()[8], "COM9");
    EXPECT_EQ(DefaultPortNames()[9], "\\\\.\\COM10");
    EXPECT_EQ(PortDeviceName("COM9"), "COM9");
    for (const char* name : {"COM10", "COM0", "CNCA0"}) {  // as the registry may name ports
        EXPECT_EQ(PortDeviceName(name), std::string("\\\\.\\") + name);
    }
}

TEST(Win32PortNamesTest, OverridesAreSeparatedBySemicolonsSinceDrivesHoldColons) {
    const PortNames names = BuildPortNameTable("Z:\\tmp\\module;;\\\\.\\COM12;");
    EXPECT_EQ(names[0], "Z:\\tmp\\module");
    EXPECT_EQ(names[1], "\\\\.\\COM12");
    EXPECT_EQ(names[2], "COM3");
}

}  // namespace
}  // namespace glassbench::serial
