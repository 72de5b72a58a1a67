// How port names are read: network port names (rfc2217://, socket://) and the entries of
// GLASSBENCH_PORTS, on this platform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/NetworkPort.h"
#include "serial/PortTables.h"

namespace glassbench::serial {
namespace {

TEST(NetworkPortNameTest, SchemeHostAndPortOrTheReason) {
    const struct {
        const char* name;
        const char* host;  // nullptr: refused, for the reason that contains `reason`
        int port;
        const char* reason;
    } cases[] = {
        {"rfc2217://lab-7:4001", "lab-7", 4001, nullptr},
        {"socket://127.0.0.1:1", "127.0.0.1", 1, nullptr},
        {"socket://[::1]:65535", "::1", 65535, nullptr},
        {"rfc2217://lab-7", nullptr, 0, "has no port number"},
        {"rfc2217://:4001", nullptr, 0, "names no host"},
        {"socket://[::1]", nullptr, 0, "has no port number"},
        {"socket://::1:4001", nullptr, 0, "an IPv6 address goes in brackets"},
        {"rfc2217://lab-7:0", nullptr, 0, "'0' is not a number from 1 to 65535"},
        {"rfc2217://lab-7:65536", nullptr, 0, "'65536' is not a number"},
        {"rfc2217://lab-7:40x", nullptr, 0, "'40x' is not a number"},
        {"rfc2217://lab-7:", nullptr, 0, "'' is not a number"},
        {"ftp://lab-7:21", nullptr, 0, "network ports are rfc2217://HOST:PORT or socket://"},
        {"RFC2217://lab-7:4001", nullptr, 0, "no port name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(IsNetworkPortName(c.name));
        std::string reason;
        const auto address = ParseNetworkPortName(c.name, reason);
        ASSERT_EQ(address.has_value(), c.host != nullptr) << reason;
        if (address) {
            EXPECT_EQ(address->host, c.host);
            EXPECT_EQ(address->port, c.port);
            EXPECT_EQ(address->scheme, std::string(c.name).starts_with("rfc2217")
                                           ? NetworkScheme::Rfc2217
                                           : NetworkScheme::Socket);
        } else {
            EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        }
    }
    // A scheme is letters and digits at the start: a path that holds "://" further on is a
    // path (the same rule splits GLASSBENCH_PORTS).
    for (const std::string path :
         {"/dev/ttyUSB0", "\\\\.\\COM12", "/tmp/a://b", "://x:1", "so-ck://x:1"}) {
        EXPECT_FALSE(IsNetworkPortName(path)) << path;
    }
}

// ';' separates everywhere; Linux also splits plain paths at ':', but never a network name or
// a selector's ids.
TEST(PortListTest, NetworkNamesAndSelectorsStayWholeWhateverSeparatesThem) {
    const bool colons = PlainPathSeparator() == ':';
    using List = std::vector<std::string>;
    const struct {
        const char* list;
        List linux;
        List windows;
    } cases[] = {
        {"rfc2217://lab-7:4001;socket://[::1]:23",
         {"rfc2217://lab-7:4001", "socket://[::1]:23"},
         {"rfc2217://lab-7:4001", "socket://[::1]:23"}},
        {"/dev/a:rfc2217://lab:4001:/dev/b",
         {"/dev/a", "rfc2217://lab:4001", "/dev/b"},
         {"/dev/a:rfc2217://lab:4001:/dev/b"}},
        // A name that does not parse is kept whole, to be refused with its reason.
        {"rfc2217://lab-7:40x:/dev/b",
         {"rfc2217://lab-7:40x", "/dev/b"},
         {"rfc2217://lab-7:40x:/dev/b"}},
        {"socket://lab;/dev/b", {"socket://lab", "/dev/b"}, {"socket://lab", "/dev/b"}},
        // A selector's ids stay together; its serial number or location ends at a separator,
        // and a path may follow right after its ids.
        {"usb:0403:6001:A10K1ABC:/dev/b;usb:1a86:7523@1-1.4",
         {"usb:0403:6001:A10K1ABC", "/dev/b", "usb:1a86:7523@1-1.4"},
         {"usb:0403:6001:A10K1ABC:/dev/b", "usb:1a86:7523@1-1.4"}},
        {"usb:0403:6001:/dev/b", {"usb:0403:6001", "/dev/b"}, {"usb:0403:6001:/dev/b"}},
        // Not a selector (no second id): split as a path.
        {"usb:0403;/dev/b", {"usb", "0403", "/dev/b"}, {"usb:0403", "/dev/b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(SplitPortList(c.list), colons ? c.linux : c.windows);
    }
    // The window's command line first, then the list; the platform's names after them.
    const std::vector<std::string> named{"socket://bench:7"};
    const PortNames names = BuildPortNameTable("rfc2217://lab-7:4001", named);
    EXPECT_EQ(names[0], "socket://bench:7");
    EXPECT_EQ(names[1], "rfc2217://lab-7:4001");
    EXPECT_EQ(names[2], DefaultPortNames()[2]);
}

}  // namespace
}  // namespace glassbench::serial
