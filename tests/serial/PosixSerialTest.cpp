// The POSIX side of the serial seam: the raw termios block, exclusive use of a real
// pseudo-terminal, and the ports udev's by-id links report present.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <memory>

#include "TempDir.h"
#include "serial/PosixPresentPorts.h"
#include "serial/PosixTermios.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {
namespace {

// Whether bytes cross unchanged is checked end to end on a pty (tests/cli_serial); a pty
// ignores speed and hardware flow control, so those are checked here.
TEST(PosixTermiosTest, RawSetsTheSpeedAndKeepsHardwareFlowAndUnnamedSettings) {
    for (const bool hardwareFlow : {false, true}) {
        termios t{};  // a freshly plugged adapter: 7E2, interrupt character ^C
        t.c_cflag = CS7 | PARENB | CSTOPB | (hardwareFlow ? CRTSCTS : 0);
        t.c_cc[VINTR] = 3;
        const LineSettings raw{57600, 8, false, 1, true, hardwareFlow};
        ASSERT_TRUE(ApplyLineSettings(t, raw));
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CLOCAL | CREAD | CRTSCTS),
                  CS8 | CLOCAL | CREAD | (hardwareFlow ? CRTSCTS : 0u));
        EXPECT_EQ(t.c_cc[VINTR], 3);  // what the link does not name stays as it was
        EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B57600));
        EXPECT_EQ(ReportLineSettings(t), raw);
    }
    // A speed without a termios constant is refused (B0 would hang up); the block is untouched.
    termios t{};
    EXPECT_FALSE(ApplyLineSettings(t, {12345, 8, false, 1, true, false}));
    EXPECT_EQ(t.c_cflag, 0u);
}

TEST(PosixOpenTest, ExclusiveWhileHeldAndReleasedAfter) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char path[128] = {};
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master) | ::ptsname_r(master, path, sizeof(path)), 0);
    // Another program's descriptor; it keeps the terminal's state alive between opens.
    const int other = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    auto system = CreatePlatformSerialSystem();
    std::error_code error;
    // TIOCEXCL does not stop root (CI runs as root), so the open looks for it itself.
    ASSERT_EQ(::ioctl(other, TIOCEXCL), 0);
    EXPECT_EQ(system->Open(path, error), nullptr);
    EXPECT_EQ(error, std::errc::device_or_resource_busy);
    ASSERT_EQ(::ioctl(other, TIOCNXCL), 0);

    auto device = system->Open(path, error);
    ASSERT_NE(device, nullptr) << error.message();
    int exclusive = 0;
    EXPECT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    device.reset();
    EXPECT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(other);
    ::close(master);
}

// A pseudo-terminal pair whose terminal side is opened as a serial device.
struct Pty {
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char path[128] = {};
        ::grantpt(master), ::unlockpt(master), ::ptsname_r(master, path, sizeof(path));
        std::error_code error;
        device = CreatePlatformSerialSystem()->Open(path, error);
        EXPECT_NE(device, nullptr) << error.message();
        EXPECT_EQ(ConfigureLine(*device, 9600, false), 0);
    }
    ~Pty() {
        device.reset();
        ::close(master);
    }
    int master = -1;
    std::unique_ptr<SerialDevice> device;
};

// One wait over several lines: a line with input ends it whatever its place, even with the
// deadline passed already (a wait that took turns on the lines would look at the first only).
TEST(PosixWaitTest, AnyLineWithInputEndsTheWaitAtOnce) {
    for (const std::size_t ready : {0u, 1u, 2u}) {
        SCOPED_TRACE(ready);
        Pty lines[2];
        int stop[2];
        ASSERT_EQ(::pipe(stop), 0);
        const std::uint8_t byte = 0xAA;
        if (ready < 2) {
            ASSERT_EQ(::write(lines[ready].master, &byte, 1), 1);
            // The pty moves the byte to the terminal side on a kernel worker: wait for it.
            ASSERT_EQ(
                lines[ready].device->Wait(WaitFor::Input, Clock::now() + std::chrono::seconds(10)),
                WaitResult::Ready);
        } else {
            ASSERT_EQ(::write(stop[1], &byte, 1), 1);
        }
        SerialDevice* devices[] = {lines[0].device.get(), lines[1].device.get()};
        const WaitToken extra = stop[0];
        EXPECT_EQ(WaitForInput(devices, Clock::now(), {&extra, 1}), ready);
        ::close(stop[0]);
        ::close(stop[1]);
    }
}

// A link leads to its device, a link whose adapter is gone is left out, and so is everything
// when udev has made no folder (no adapter since start-up).
TEST(PosixPresentPortsTest, ByIdLinksLeadToTheirDevices) {
    namespace fs = std::filesystem;
    const testing::TempDir dir;
    const fs::path byId = dir.path() / "by-id", device = dir.Write("ttyUSB7", "");
    fs::create_directory(byId);
    fs::create_symlink("../ttyUSB7", byId / "usb-Maker_A1-if00-port0");
    fs::create_symlink("../ttyUSB8", byId / "usb-Maker_B2-if00-port0");
    EXPECT_EQ(PresentPortsIn(byId),
              (std::vector<PresentPort>{
                  {fs::canonical(device).string(), (byId / "usb-Maker_A1-if00-port0").string()}}));
    EXPECT_TRUE(PresentPortsIn(dir.path() / "missing").empty());
}

}  // namespace
}  // namespace glassbench::serial
