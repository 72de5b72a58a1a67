// Ports by what they are: selectors read, matched and resolved against the ports present (none,
// one or several, never a guess), the selector and the few words that name each port, and the
// tooltip text of a port name. Platform-free, as the code under test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/PortIdentity.h"
#include "serial/PortSelector.h"

namespace glassbench::serial {
namespace {

PresentPort Usb(std::string device, std::uint16_t vid, std::uint16_t pid, std::string serial,
                std::string location, std::string product, int interfaceNumber = 0) {
    PresentPort port;
    port.device = std::move(device);
    port.driver = "ftdi_sio";
    port.usb = UsbIdentity{vid,
                           pid,
                           std::move(serial),
                           "FTDI",
                           std::move(product),
                           interfaceNumber,
                           std::move(location)};
    return port;
}

// A bench: two FTDI adapters told apart by serial number, two CH340s without one told apart by
// where they are, an Arduino, an on-board UART, and a dual-port FTDI whose two ports share a
// serial number.
std::vector<PresentPort> Bench() {
    PresentPort uart;
    uart.device = "/dev/ttyS0";
    uart.driver = "serial";
    PresentPort acm = Usb("/dev/ttyACM0", 0x2341, 0x0043, "8503631", "3-2", "");
    acm.driver = "cdc_acm";
    acm.links = {"/dev/serial/by-id/usb-Arduino_8503631-if00"};
    return {Usb("/dev/ttyUSB1", 0x0403, 0x6001, "A2", "1-1.2", "FT232R USB UART"),
            Usb("/dev/ttyUSB0", 0x0403, 0x6001, "A1", "1-1.1", "FT232R USB UART"),
            Usb("/dev/ttyUSB2", 0x1a86, 0x7523, "", "1-1.3", "USB Serial"),
            Usb("/dev/ttyUSB3", 0x1a86, 0x7523, "", "1-1.4", "USB Serial"),
            Usb("/dev/ttyUSB4", 0x0403, 0x6010, "FT4X", "2-1", "Dual RS232", 0),
            Usb("/dev/ttyUSB5", 0x0403, 0x6010, "FT4X", "2-1", "Dual RS232", 1),
            acm,
            uart};
}

TEST(PortSelectorTest, ReadsIdsInEitherCaseWithASerialNumberOrLocationOrSaysWhy) {
    const struct {
        const char* name;
        bool good;
        PortSelector selector;
    } cases[] = {
        {"usb:0403:6001", true, {0x0403, 0x6001, "", ""}},
        {"USB:1A86:7523", true, {0x1a86, 0x7523, "", ""}},
        {"usb:403:6001", true, {0x0403, 0x6001, "", ""}},
        {"usb:0403:6001:A10K1ABC", true, {0x0403, 0x6001, "A10K1ABC", ""}},
        {"usb:0403:6001:A:B", true, {0x0403, 0x6001, "A:B", ""}},
        {"usb:1a86:7523@1-1.4", true, {0x1a86, 0x7523, "", "1-1.4"}},
        {"usb:04030:6001", false, {}},
        {"usb:0403", false, {}},
        {"usb:0403:", false, {}},
        {"usb:0403:6001:", false, {}},
        {"usb:0403:6001@", false, {}},
        {"usb:0403:6001x", false, {}},
        {"usb:xyz:6001", false, {}},
        {"usb:", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(IsPortSelector(c.name));
        std::string reason;
        const auto selector = ParsePortSelector(c.name, reason);
        ASSERT_EQ(selector.has_value(), c.good) << reason;
        if (selector) {
            EXPECT_EQ(*selector, c.selector);
        } else {
            EXPECT_EQ(reason, "'" + std::string(c.name) +
                                  "' is no port selector: usb:VID:PID, usb:VID:PID:SERIAL or "
                                  "usb:VID:PID@LOCATION, with VID and PID in hex");
        }
    }
    for (const char* name : {"/dev/ttyUSB0", "COM3", "rfc2217://usb:4001", "us"}) {
        EXPECT_FALSE(IsPortSelector(name)) << name;
    }
}

TEST(PortSelectorTest, ResolvesToTheOnePortItMatchesOrListsWhatIsThere) {
    using Outcome = ResolvedPort::Outcome;
    const std::vector<PresentPort> bench = Bench();
    const std::string ftdiPair =
        "  /dev/ttyUSB0  usb:0403:6001:A1  FT232R USB UART, serial number A1\n"
        "  /dev/ttyUSB1  usb:0403:6001:A2  FT232R USB UART, serial number A2\n";
    const std::string advice =
        "Name one of them by its serial number (usb:VID:PID:SERIAL), its location "
        "(usb:VID:PID@LOCATION) or its device.";
    const struct {
        const char* name;
        Outcome outcome;
        std::string device;  // Found
        std::string problem;
    } cases[] = {
        {"/dev/ttyUSB7", Outcome::Found, "/dev/ttyUSB7", ""},  // no selector: itself
        {"usb:0403:6001:A2", Outcome::Found, "/dev/ttyUSB1", ""},
        {"usb:1A86:7523@1-1.4", Outcome::Found, "/dev/ttyUSB3", ""},
        {"usb:2341:43", Outcome::Found, "/dev/ttyACM0", ""},
        {"usb:0403:6001", Outcome::Several, "",
         "2 ports match usb:0403:6001:\n" + ftdiPair + advice},
        {"usb:0403:6010:FT4X", Outcome::Several, "",
         "2 ports match usb:0403:6010:FT4X:\n"
         "  /dev/ttyUSB4  Dual RS232, serial number FT4X\n"
         "  /dev/ttyUSB5  Dual RS232, serial number FT4X\n" +
             advice},
        // Serial numbers are compared as they are.
        {"usb:0403:6001:a1", Outcome::NoMatch, "",
         "no port matches usb:0403:6001:a1. The ports present:\n"
         "  /dev/ttyS0  driver serial\n"
         "  /dev/ttyACM0  usb:2341:0043:8503631  USB 2341:0043, serial number 8503631\n" +
             ftdiPair +
             "  /dev/ttyUSB2  usb:1a86:7523@1-1.3  USB Serial, at 1-1.3\n"
             "  /dev/ttyUSB3  usb:1a86:7523@1-1.4  USB Serial, at 1-1.4\n"
             "  /dev/ttyUSB4  Dual RS232, serial number FT4X\n"
             "  /dev/ttyUSB5  Dual RS232, serial number FT4X"},
        {"usb:0403:6001@1-1.9", Outcome::NoMatch, "", ""},
        {"usb:04x3", Outcome::Bad, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ResolvedPort resolved = ResolvePortName(c.name, bench);
        EXPECT_EQ(resolved.outcome, c.outcome);
        EXPECT_EQ(resolved.device, c.device);
        if (!c.problem.empty()) {
            EXPECT_EQ(resolved.problem, c.problem);
        }
        EXPECT_EQ(resolved.problem.empty(), c.outcome == Outcome::Found);
    }
    EXPECT_EQ(ResolvePortName("usb:0403:6001", {}).problem,
              "no port matches usb:0403:6001. No serial port is present.");
}

TEST(PortIdentityTest, SelectorsNameOnePortWhereverItIsPluggedIn) {
    const std::vector<PresentPort> bench = Bench();
    const struct {
        std::size_t port;
        const char* selector;
    } cases[] = {
        {0, "usb:0403:6001:A2"},     // a serial number: wherever it is
        {2, "usb:1a86:7523@1-1.3"},  // none: where it is
        {4, ""},                     // a serial number both ports of the chip share
        {7, ""},                     // no USB adapter
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(bench[c.port].device);
        EXPECT_EQ(SelectorOf(bench[c.port], bench), c.selector);
        if (*c.selector != '\0') {
            EXPECT_EQ(ResolvePortName(c.selector, bench).device, bench[c.port].device);
        }
    }
    // A serial number alone names it, even with a twin without one beside it.
    std::vector<PresentPort> twins{bench[0], bench[0]};
    twins[1].device = "/dev/ttyUSB9";
    twins[1].usb->serialNumber.clear();
    twins[1].usb->location = "1-1.5";
    EXPECT_EQ(SelectorOf(twins[0], twins), "usb:0403:6001:A2");
    EXPECT_EQ(SelectorOf(twins[1], twins), "usb:0403:6001@1-1.5");
    EXPECT_EQ(HexId(0xABCD), "abcd");
    EXPECT_EQ(HexId(0x0403), "0403");
}

TEST(PortIdentityTest, AnyNameOfAPortFindsIt) {
    std::vector<PresentPort> ports = Bench();
    PresentPort com;
    com.device = "\\\\.\\COM12";
    ports.push_back(com);
    const struct {
        const char* name;
        const char* device;  // nullptr: none
    } cases[] = {
        {"/dev/ttyUSB3", "/dev/ttyUSB3"},
        {"/dev/serial/by-id/usb-Arduino_8503631-if00", "/dev/ttyACM0"},
        {"COM12", "\\\\.\\COM12"},
        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"/dev/ttyUSB9", nullptr},
        {"rfc2217://lab:4001", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PresentPort* found = FindPresentPort(c.name, ports);
        ASSERT_EQ(found != nullptr, c.device != nullptr);
        if (found != nullptr) {
            EXPECT_EQ(found->device, c.device);
        }
    }
}

// The window's tooltip: the name in full, then what it is or what a selector finds now.
TEST(PortIdentityTest, DescribesANameAsThePortItOpensNow) {
    const std::vector<PresentPort> bench = Bench();
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"/dev/ttyUSB1", "/dev/ttyUSB1\nFT232R USB UART, serial number A2"},
        {"/dev/serial/by-id/usb-Arduino_8503631-if00",
         "/dev/serial/by-id/usb-Arduino_8503631-if00\nUSB 2341:0043, serial number 8503631"},
        {"/dev/ttyS0", "/dev/ttyS0\ndriver serial"},
        {"/dev/ttyUSB9", "/dev/ttyUSB9"},
        {"rfc2217://lab-7:4001", "rfc2217://lab-7:4001"},
        {"usb:1a86:7523@1-1.3", "usb:1a86:7523@1-1.3\n/dev/ttyUSB2: USB Serial, at 1-1.3"},
        {"usb:0403:6001", "usb:0403:6001\n2 ports match it"},
        {"usb:ffff:0001", "usb:ffff:0001\nno port matches it"},
        {"usb:ffff", "usb:ffff\nno port selector"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribePort(c.name, bench), c.text);
    }
}

}  // namespace
}  // namespace glassbench::serial
