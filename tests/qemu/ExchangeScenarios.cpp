// Exchanges with the virtual module through the kernel's own drivers: ftdi_sio (QEMU's FT232 on
// xHCI) and 8250 (a 16550), each adapter wired to a module of its own. Every reply is checked
// by the CLI in the guest, and the module on the host counts the frames it took.
#include "Scenario.h"

namespace glassbench::testing::qemu {
namespace {

struct ThroughDriver {
    const char* adapter;  // kBoard's id
    const char* driver;   // the driver's module
    const char* bound;    // what sysfs names the driver bound to the port's device
};

constexpr ThroughDriver kDrivers[] = {
    {"ftdi0", "ftdi_sio", "ftdi_sio"},
    // 8250's PNP driver, which takes the 16550s that ACPI lists.
    {"uart1", "8250", "serial"},
};

using Exchanges = KernelDriverScenario;

TEST_F(Exchanges, TheDriverUnderTestHoldsEachPort) {
    for (const auto& through : kDrivers) {
        const auto node = BootNode(Adapter(through.adapter));
        SCOPED_TRACE(node);
        const auto tty = node.substr(node.rfind('/') + 1);
        const auto driver =
            Guest().Run("basename \"$(readlink /sys/class/tty/" + tty + "/device/driver)\"");
        EXPECT_EQ(driver.out, std::string(through.bound) + "\n") << driver.error;
    }
}

TEST_F(Exchanges, SendRepeatedGetsEveryReply) {
    constexpr int kRepeat = 20;
    for (const auto& through : kDrivers) {
        const auto node = BootNode(Adapter(through.adapter));
        SCOPED_TRACE(node);
        auto& module = Guest().Module(through.adapter);
        const int before = module.Frames();
        const auto sent =
            Cli("send --port=" + node + " --no-pulse --repeat=" + std::to_string(kRepeat));
        ASSERT_EQ(sent.status, 0) << sent.out << sent.error;
        EXPECT_NE(sent.out.find("exchanges: 20, replies: 20,"), std::string::npos) << sent.out;
        EXPECT_EQ(CountOf(sent.out, "received: AA 04 80 00 2E\n"), kRepeat) << sent.out;
        EXPECT_TRUE(module.WaitForFrames(before + kRepeat)) << module.Frames() - before;
        const auto median = SendFigure(sent.out, "median_us");
        ASSERT_TRUE(median) << sent.out;
        Figure(std::string("exchange median through ") + through.driver, *median / 1000.0, "ms");
    }
}

// With the modem-line pulse: DTR and RTS go through the driver's TIOCMSET.
TEST_F(Exchanges, PlayTheDemoScript) {
    for (const auto& through : kDrivers) {
        const auto node = BootNode(Adapter(through.adapter));
        SCOPED_TRACE(node);
        const auto played = Cli("play /examples/demo.gbs --port=" + node);
        EXPECT_EQ(played.status, 0) << played.out << played.error;
        EXPECT_NE(played.out.find("played: 8 frames, 8 replies, 0 expectations failed"),
                  std::string::npos)
            << played.out;
        EXPECT_EQ(CountOf(played.out, "expect: ok\n"), 8) << played.out;
    }
}

// monitor listens until Ctrl+C, which the guest's terminal turns into SIGINT, and then ends
// with its summary.
TEST_F(Exchanges, MonitorEndsAtCtrlC) {
    for (const auto& through : kDrivers) {
        const auto node = BootNode(Adapter(through.adapter));
        SCOPED_TRACE(node);
        ASSERT_TRUE(Guest().Start("glassbench-cli monitor --port=" + node)) << Guest().Error();
        ASSERT_TRUE(Guest().WaitForOutput("monitor: listening on " + node));
        ASSERT_TRUE(Guest().Interrupt());
        const auto monitored = Guest().Finish();
        EXPECT_EQ(monitored.status, 0) << monitored.out << monitored.error;
        EXPECT_NE(monitored.out.find("frames: 0, "), std::string::npos) << monitored.out;
    }
}

}  // namespace
}  // namespace glassbench::testing::qemu
