// What the instance ids of a COM port's device node and of the nodes above it tell of a USB
// adapter: FTDI's bus driver, a composite device's interface, a plain USB device with and
// without a serial number of its own, and a port that is not on USB.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/Win32DeviceIds.h"

namespace glassbench::serial {
namespace {

TEST(Win32DeviceIdsTest, UsbIdsInterfaceAndSerialNumberFromTheChainOfNodes) {
    const struct {
        const char* name;
        std::vector<std::string> chain;
        bool usb;
        UsbIdentity identity;
        std::optional<std::size_t> deviceNode;
    } cases[] = {
        {"FT232R: the channel letter after the serial number is its first port",
         {"FTDIBUS\\VID_0403+PID_6001+A10K1ABCA\\0000", "USB\\VID_0403&PID_6001\\A10K1ABC",
          "USB\\ROOT_HUB30\\4&1A2B3C&0&0"},
         true,
         {0x0403, 0x6001, "A10K1ABC", "", "", 0, ""},
         1},
        {"FT2232H's second port, under an interface of the composite device",
         {"FTDIBUS\\VID_0403+PID_6010+FT4XYZB\\0000",
          "USB\\VID_0403&PID_6010&MI_01\\6&2B9E3C1&0&0001", "USB\\VID_0403&PID_6010\\FT4XYZ"},
         true,
         {0x0403, 0x6010, "FT4XYZ", "", "", 1, ""},
         2},
        {"an FTDI port whose parent cannot be read: the serial number from its own id",
         {"FTDIBUS\\VID_0403+PID_6001+A10K1ABCA\\0000"},
         true,
         {0x0403, 0x6001, "A10K1ABC", "", "", 0, ""},
         std::nullopt},
        {"CDC-ACM on usbser.sys, with a serial number",
         {"USB\\VID_2341&PID_0043\\85036313530351D0C1A1", "USB\\ROOT_HUB30\\4&1&0&0"},
         true,
         {0x2341, 0x0043, "85036313530351D0C1A1", "", "", std::nullopt, ""},
         0},
        {"CH340 without a serial number: the id's last part is Windows' own",
         {"USB\\VID_1A86&PID_7523\\5&2B9E3C1&0&2"},
         true,
         {0x1a86, 0x7523, "", "", "", std::nullopt, ""},
         0},
        {"the interface of a composite CDC-ACM device",
         {"USB\\VID_2E8A&PID_000A&MI_00\\6&1D9E&0&0000", "USB\\VID_2E8A&PID_000A\\E660583883"},
         true,
         {0x2e8a, 0x000a, "E660583883", "", "", 0, ""},
         1},
        {"an on-board UART", {"ACPI\\PNP0501\\1", "ACPI\\PNP0A08\\0"}, false, {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto found = UsbFromInstanceIds(c.chain);
        ASSERT_EQ(found.has_value(), c.usb);
        if (found) {
            EXPECT_EQ(found->usb, c.identity);
            EXPECT_EQ(found->deviceNode, c.deviceNode);
        }
    }
}

}  // namespace
}  // namespace glassbench::serial
