// SerialLink and this platform's serial code against the virtual module, driven in-process
// with frames the tool never builds, on the module's pseudo-terminal and through ser2net as an
// RFC 2217 port and a raw TCP one. Built for Linux and for Windows (run under Wine):
// with-module.sh --ser2net runs the native modules and ser2net for the test's duration and names
// the ports and the modules' logs in GLASSBENCH_TEST_* variables. The module prints a frame's
// line before it answers the frame, so once a reply is in, the log already holds the lines of
// everything sent before it, and is read without waiting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TempDir.h"
#include "TestHex.h"
#include "serial/SerialLink.h"

namespace glassbench::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

TEST(ModuleLinkTest, EveryByteValueCrossesUnchangedBothWays) {
    // The module's pseudo-terminal itself, and modules behind ser2net (--ser2net).
    const struct {
        const char* port;
        const char* log;
    } lines[] = {
        {"GLASSBENCH_TEST_MODULE", "GLASSBENCH_TEST_MODULE_LOG"},
        {"GLASSBENCH_TEST_RFC2217", "GLASSBENCH_TEST_RFC2217_LOG"},
        {"GLASSBENCH_TEST_SOCKET", "GLASSBENCH_TEST_SOCKET_LOG"},
    };
    for (const auto& line : lines) {
        const std::string path = Environment(line.port);
        const std::string log = Environment(line.log);
        if (path.empty() || log.empty()) {
            GTEST_SKIP() << "needs the virtual module and ser2net: run through "
                            "tests/cli_serial/with-module.sh --ser2net";
        }
        SCOPED_TRACE(path);
        serial::SerialLink link(serial::CreatePlatformSerialSystem(),
                                serial::BuildPortNameTable(path));
        ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0) << link.LastOpenError().message();
        // Garbage, then AA 05 b b b b for every byte b: the checksum byte b never equals the
        // sum AF + 3b (that would need an even number to be odd), so each frame is answered
        // AA 04 b 01 CHK, whose checksum takes every value as well. On rfc2217 every 0xFF goes
        // doubled and comes back single.
        Bytes frames{0x0D, 0x0A, 0x11};
        Bytes replies;
        for (int b = 0; b < 256; ++b) {
            const auto v = static_cast<std::uint8_t>(b);
            frames.insert(frames.end(), {0xAA, 0x05, v, v, v, v});
            replies.insert(replies.end(),
                           {0xAA, 0x04, v, 0x01, static_cast<std::uint8_t>(0xAF + b)});
        }
        const int count = static_cast<int>(frames.size());
        ASSERT_EQ(link.SendBytes(frames.data(), count), count);
        Bytes got(replies.size());
        EXPECT_EQ(link.ReceiveExact(got.data(), static_cast<int>(got.size()), 100000), 1);
        EXPECT_EQ(Hex(got), Hex(replies));
        // The garbage, which no reply shows, reached the module whole (0x11 is XON).
        EXPECT_NE(TempDir::Read(log).find("garbage: 0D 0A 11\n"), std::string::npos)
            << TempDir::Read(log);
        // A frame that stalls is dropped after the gap, unanswered; the module reports it
        // before it takes the next frame's first byte.
        const Bytes stalled{0xAA, 0x09, 0x8A};
        ASSERT_EQ(link.SendBytes(stalled.data(), 3), 3);
        EXPECT_EQ(link.ReceiveExact(got.data(), 5, 20000), 0);
        const Bytes clear{0xAA, 0x04, 0x80, 0x00, 0x2E};
        ASSERT_EQ(link.SendBytes(clear.data(), 5), 5);
        ASSERT_EQ(link.ReceiveExact(got.data(), 5, 100000), 1);
        EXPECT_EQ(Hex(got.data(), 5), Hex(clear));
        EXPECT_NE(TempDir::Read(log).find("dropped incomplete frame: AA 09 8A\n"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace glassbench::testing
