// Reconnection through the kernel's own USB serial driver: the FTDI adapter unplugged and
// plugged back (the QEMU monitor's device_del and device_add) in the middle of send and of
// monitor, and its module power-cycled in the middle of play. The CLI gives the device back at
// the loss, so the kernel frees ttyUSB0 and the adapter comes back under its old name; every
// frame after the return is answered, and at most the one exchange in flight is broken.
#include <algorithm>
#include <chrono>
#include <string>

#include "Scenario.h"

namespace glassbench::testing::qemu {
namespace {

using namespace std::chrono_literals;

const std::string kAnswered = "received: AA 04 80 00 2E\n";

double Ms(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class Reconnect : public KernelDriverScenario {
  protected:
    // What the run printed after the port came back.
    static std::string AfterReturn(const std::string& out) {
        const auto back = out.find("port back as /dev/ttyUSB0 after ");
        return back == std::string::npos ? std::string() : out.substr(back);
    }
    // Unplugged, and plugged back once the node has gone: the moment it was plugged.
    static std::optional<Clock::time_point> Replug() {
        const auto unplugged = Guest().Unplug("ftdi0");
        if (!unplugged || !Guest().WaitForNode("remove", "ttyUSB0", *unplugged)) {
            return std::nullopt;
        }
        return Guest().Plug("ftdi0");
    }
};

TEST_F(Reconnect, SendGoesOnAfterAnUnplugAndReplug) {
    ASSERT_TRUE(
        Guest().Start("glassbench-cli send --port=/dev/ttyUSB0 --no-pulse --repeat=24 "
                      "--interval=20 --reconnect=60"));
    ASSERT_TRUE(Guest().WaitForOutput(kAnswered + "sent: AA 04 80 00 2E\n" + kAnswered)) << Seen();
    const auto plugged = Replug();
    ASSERT_TRUE(plugged) << Seen();
    // The first frame answered after the return.
    ASSERT_TRUE(Guest().WaitForOutput(" s\nsent: AA 04 80 00 2E\n" + kAnswered)) << Seen();
    Figure("replug to the first answered frame", Ms(Clock::now() - *plugged), "ms");
    const GuestResult r = Guest().Finish();
    const int broken = Count(r.out, " none (");
    EXPECT_LE(broken, 1) << r.out;
    EXPECT_EQ(r.status, broken == 0 ? 0 : 1) << r.out;
    EXPECT_NE(r.out.find("port /dev/ttyUSB0 gone ("), std::string::npos) << r.out;
    // Known by what it is: the adapter's own serial number.
    EXPECT_NE(r.out.find("; waiting for usb:0403:6001:GB0001\n"), std::string::npos) << r.out;
    const std::string after = AfterReturn(r.out);
    EXPECT_GT(Count(after, kAnswered), 0) << r.out;
    EXPECT_EQ(Count(after, " none ("), 0) << r.out;
    EXPECT_EQ(Count(r.out, kAnswered) + broken, 24) << r.out;
}

TEST_F(Reconnect, MonitorWaitsThroughAnUnplugAndReplug) {
    ASSERT_TRUE(Guest().Start("glassbench-cli monitor --port=/dev/ttyUSB0"));
    ASSERT_TRUE(Guest().WaitForOutput("monitor: listening on /dev/ttyUSB0")) << Seen();
    ASSERT_TRUE(Replug()) << Seen();
    ASSERT_TRUE(Guest().WaitForOutput("port back as /dev/ttyUSB0 after ")) << Seen();
    ASSERT_TRUE(Guest().Interrupt());
    const GuestResult r = Guest().Finish();
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("port /dev/ttyUSB0 gone ("), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nframes: 0, "), std::string::npos) << r.out;
}

// The module switched off and on: the adapter leaves the bus with its chardev and comes back
// when QEMU connects it again.
TEST_F(Reconnect, PlayGoesOnAfterAPowerCycle) {
    ASSERT_TRUE(
        Guest().Start("glassbench-cli play /examples/demo.gbs --port=/dev/ttyUSB0 "
                      "--no-pulse --interval=100 --reconnect=60"));
    ASSERT_TRUE(Guest().WaitForOutput("expect: ok\n")) << Seen();
    auto& module = Guest().Module("ftdi0");
    const auto stopped = Clock::now();
    module.Stop();
    ASSERT_TRUE(Guest().WaitForNode("remove", "ttyUSB0", stopped)) << Seen();
    ASSERT_TRUE(module.Start()) << module.Error();
    const GuestResult r = Guest().Finish();
    const int broken = Count(r.out, " none (");
    EXPECT_LE(broken, 1) << r.out;
    EXPECT_NE(r.out.find("played: 8 frames, " + std::to_string(8 - broken) + " replies, "),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Count(AfterReturn(r.out), " none ("), 0) << r.out;
}

TEST_F(Reconnect, CtrlCEndsTheWaitAtOnce) {
    ASSERT_TRUE(
        Guest().Start("glassbench-cli send --port=/dev/ttyUSB0 --no-pulse --repeat=400 "
                      "--interval=20 --reconnect=60"));
    ASSERT_TRUE(Guest().WaitForOutput(kAnswered)) << Seen();
    const auto unplugged = Guest().Unplug("ftdi0");
    ASSERT_TRUE(unplugged) << Guest().Error();
    ASSERT_TRUE(Guest().WaitForOutput("; waiting for usb:0403:6001:GB0001\n")) << Seen();
    ASSERT_TRUE(Guest().Interrupt());
    const GuestResult r = Guest().Finish();
    EXPECT_EQ(r.status, 130) << r.out;
    EXPECT_NE(r.out.find("stopped by signal 2"), std::string::npos) << r.out;
    ASSERT_TRUE(Guest().WaitForNode("remove", "ttyUSB0", *unplugged)) << Seen();
    const auto plugged = Guest().Plug("ftdi0");
    ASSERT_TRUE(plugged && Guest().WaitForNode("add", "ttyUSB0", *plugged)) << Seen();
}

}  // namespace
}  // namespace glassbench::testing::qemu
