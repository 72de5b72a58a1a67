// The listening open of glassbench-cli monitor, against the scripted fake: exclusive, raw 8N1
// at the speed, DTR and RTS never touched, nothing written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSerial.h"
#include "TestHex.h"
#include "serial/LineTap.h"

namespace glassbench::serial {
namespace {

using namespace testing;

TEST(LineTapTest, ListensRawAtTheSpeedWithoutEverDrivingTheLine) {
    const std::string name = "/dev/ttyUSB0";
    for (int failStep = 0; failStep <= 5; ++failStep) {
        SCOPED_TRACE(failStep);
        FakeSystem system;
        FakePort& port = system.ports[name];
        port.failStep = failStep;
        const TimePoint start = system.now;
        port.incoming[start + 5ms] = {0xAA, 0x04};
        std::error_code error;
        std::string detail;
        auto tap = LineTap::Open(system, name, 115200, error, detail);
        // No "modem" step, ever: a tapped line is not ours to drive.
        const std::vector<std::string> steps{"open " + name, "read-settings", "write-settings",
                                             "read-timeouts", "write-timeouts"};
        // A failed open gives the device back at once.
        std::vector<std::string> expected(steps.begin(),
                                          steps.begin() + (failStep < 2 ? 5 : failStep));
        if (failStep >= 2) {
            expected.push_back("close " + name);
        }
        EXPECT_EQ(system.log, expected);
        ASSERT_EQ(tap != nullptr, failStep < 2) << error.message();
        EXPECT_EQ(port.held, failStep < 2);
        if (!tap) {
            EXPECT_TRUE(error);
            continue;
        }
        // Raw 8N1 at the speed, hardware flow control as the driver had it, DTR and RTS kept.
        EXPECT_EQ(port.written, (LineSettings{115200, 8, false, 1, true, true, true}));
        EXPECT_EQ(LineTap::Open(system, name, 9600, error, detail), nullptr);
        EXPECT_EQ(error, std::errc::device_or_resource_busy);

        std::uint8_t buffer[8];
        EXPECT_EQ(tap->Take(buffer, 8).count, 0);
        EXPECT_EQ(tap->Device().Wait(WaitFor::Input, start + 1s), WaitResult::Ready);
        EXPECT_EQ(system.now, start + 5ms);
        const IoResult got = tap->Take(buffer, 8);
        EXPECT_EQ(glassbench::testing::Hex(buffer, static_cast<std::size_t>(got.count)), "AA 04");
        EXPECT_EQ(tap->Device().Wait(WaitFor::Input, start + 1s), WaitResult::TimedOut);
        EXPECT_TRUE(port.wire.empty());
    }
}

}  // namespace
}  // namespace glassbench::serial
