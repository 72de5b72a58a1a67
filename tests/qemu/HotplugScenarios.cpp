// Adapters that come and go under the kernel's USB serial driver: unplugged and plugged back
// through QEMU's monitor, power-cycled by stopping their module (the chardev closes and the
// usb-serial leaves the bus; it reconnects once a second), and two of one kind told apart by
// their serial numbers. Node events are what the guest's mdev reported, timed on arrival.
#include <chrono>

#include "Scenario.h"

namespace glassbench::testing::qemu {
namespace {

double Ms(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

class Hotplug : public KernelDriverScenario {
  protected:
    // Five exchanges through `node`, answered by the module of `adapter`.
    static void ExpectExchanges(const std::string& node, std::string_view adapter) {
        auto& module = Guest().Module(adapter);
        const int before = module.Frames();
        const auto sent = Cli("send --port=" + node + " --no-pulse --repeat=5");
        EXPECT_EQ(sent.status, 0) << sent.out << sent.error;
        EXPECT_NE(sent.out.find("exchanges: 5, replies: 5,"), std::string::npos) << sent.out;
        EXPECT_TRUE(module.WaitForFrames(before + 5))
            << adapter << "'s module took " << module.Frames() - before << " frames";
    }
};

// No program holds the port, so the kernel frees ttyUSB0 at the unplug and the adapter gets
// the same name back.
TEST_F(Hotplug, ReplugWhileThePortIsFreeKeepsItsName) {
    const auto unplugged = Guest().Unplug("ftdi0");
    ASSERT_TRUE(unplugged) << Guest().Error();
    ASSERT_TRUE(Guest().WaitForNode("remove", "ttyUSB0", *unplugged)) << Seen();
    EXPECT_EQ(Guest().Run("test -e /dev/ttyUSB0").status, 1) << "the node outlived its adapter";

    const auto plugged = Guest().Plug("ftdi0");
    ASSERT_TRUE(plugged) << Guest().Error();
    const auto back = Guest().WaitForNode("add", "ttyUSB0", *plugged);
    ASSERT_TRUE(back) << Seen();
    Figure("replug to /dev/ttyUSB0", Ms(*back - *plugged), "ms");
    ExpectExchanges("/dev/ttyUSB0", "ftdi0");
}

// A module switched off and on: the adapter leaves the bus with its chardev and comes back when
// the chardev reconnects, within QEMU's one-second retry.
TEST_F(Hotplug, PowerCycledModuleBringsItsAdapterBack) {
    auto& module = Guest().Module("ftdi0");
    const auto stopped = Clock::now();
    module.Stop();
    ASSERT_TRUE(Guest().WaitForNode("remove", "ttyUSB0", stopped)) << Seen();

    const auto started = Clock::now();
    ASSERT_TRUE(module.Start()) << module.Error();
    const auto back = Guest().WaitForNode("add", "ttyUSB0", started);
    ASSERT_TRUE(back) << Seen();
    Figure("module restart to /dev/ttyUSB0", Ms(*back - started), "ms");
    ExpectExchanges("/dev/ttyUSB0", "ftdi0");
}

// Two FT232s, one VID:PID, their own serial numbers in sysfs, and each node wired to its own
// module.
TEST_F(Hotplug, TwoAdaptersOfOneKindShowTheirSerialNumbers) {
    const auto plugged = Guest().Plug("ftdi1");
    ASSERT_TRUE(plugged) << Guest().Error();
    ASSERT_TRUE(Guest().WaitForNode("add", "ttyUSB1", *plugged)) << Seen();

    const auto ttys = Guest().Run("usb-ttys");
    EXPECT_EQ(ttys.out,
              "/dev/ttyUSB0 GB0001 0403:6001\n"
              "/dev/ttyUSB1 GB0002 0403:6001\n")
        << ttys.error;
    ExpectExchanges("/dev/ttyUSB0", "ftdi0");
    ExpectExchanges("/dev/ttyUSB1", "ftdi1");

    const auto unplugged = Guest().Unplug("ftdi1");
    ASSERT_TRUE(unplugged) << Guest().Error();
    EXPECT_TRUE(Guest().WaitForNode("remove", "ttyUSB1", *unplugged)) << Seen();
}

}  // namespace
}  // namespace glassbench::testing::qemu
