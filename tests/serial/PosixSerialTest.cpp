// The POSIX side of the serial seam: the raw termios block, exclusive use of a real
// pseudo-terminal, the ports sysfs reports present (in fake sysfs trees laid out as the
// kernel's), UUCP lock files and who holds a busy port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <memory>

#include "RunProcess.h"
#include "TempDir.h"
#include "serial/PortSelector.h"
#include "serial/PosixPortLocks.h"
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

namespace fs = std::filesystem;

// A sysfs tree and a /dev in a test's folder, laid out as the kernel and udev lay out theirs:
// each tty in class/tty leads to its folder under the device that serves it, whose `device`
// link leads back up to that device; drivers and buses are links into bus/.
class FakeSysfs {
  public:
    FakeSysfs() {
        paths_.sys = dir_.path() / "sys";
        paths_.dev = dir_.path() / "dev";
        paths_.lockFolders = {dir_.path() / "lock"};
        fs::create_directories(paths_.dev);
    }

    const PosixPaths& Paths() const { return paths_; }
    std::string Dev(const std::string& name) const { return (paths_.dev / name).string(); }

    // A device folder under devices/ with its attributes, on `bus` and bound to `driver`.
    FakeSysfs& Device(const std::string& device, std::map<std::string, std::string> attributes,
                      const std::string& bus = "", const std::string& driver = "") {
        const fs::path folder = paths_.sys / "devices" / device;
        fs::create_directories(folder);
        for (const auto& [name, value] : attributes) {
            std::ofstream(folder / name) << value << "\n";
        }
        if (!bus.empty()) {
            Link(folder / "subsystem", paths_.sys / "bus" / bus);
        }
        if (!driver.empty()) {
            Link(folder / "driver", paths_.sys / "bus" / bus / "drivers" / driver);
        }
        return *this;
    }

    // A tty served by `device` (empty: none, a virtual terminal), with its node in /dev.
    FakeSysfs& Tty(const std::string& name, const std::string& device,
                   std::map<std::string, std::string> attributes = {}) {
        const fs::path folder =
            paths_.sys / "devices" / (device.empty() ? "virtual" : device) / "tty" / name;
        fs::create_directories(folder);
        Link(paths_.sys / "class" / "tty" / name, folder);
        if (!device.empty()) {
            Link(folder / "device", paths_.sys / "devices" / device);
        }
        for (const auto& [attribute, value] : attributes) {
            std::ofstream(folder / attribute) << value << "\n";
        }
        std::ofstream(paths_.dev / name).flush();
        return *this;
    }

    // udev's link in /dev/serial/KIND, relative as udev makes it.
    FakeSysfs& SerialLink(const std::string& kind, const std::string& name,
                          const std::string& tty) {
        fs::create_directories(paths_.dev / "serial" / kind);
        fs::create_symlink("../../" + tty, paths_.dev / "serial" / kind / name);
        return *this;
    }

  private:
    static void Link(const fs::path& link, const fs::path& target) {
        fs::create_directories(link.parent_path());
        fs::create_directories(target);
        fs::create_symlink(target, link);
    }

    testing::TempDir dir_;
    PosixPaths paths_;
};

constexpr const char* kHub = "pci0000:00/0000:00:14.0/usb1/1-1";

// An FTDI FT232R with its serial number, on port 2 of a hub on port 1 of bus 1.
void Ft232r(FakeSysfs& sys) {
    const std::string device = std::string(kHub) + "/1-1.2";
    sys.Device(device,
               {{"idVendor", "0403"},
                {"idProduct", "6001"},
                {"serial", "A10K1ABC"},
                {"manufacturer", "FTDI"},
                {"product", "FT232R USB UART"},
                {"busnum", "1"},
                {"devpath", "1.2"}},
               "usb", "usb")
        .Device(device + "/1-1.2:1.0", {{"bInterfaceNumber", "00"}}, "usb", "ftdi_sio")
        .Device(device + "/1-1.2:1.0/ttyUSB0", {{"latency_timer", "16"}}, "usb-serial", "ftdi_sio")
        .Tty("ttyUSB0", device + "/1-1.2:1.0/ttyUSB0")
        .SerialLink("by-id", "usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0", "ttyUSB0")
        .SerialLink("by-path", "pci-0000:00:14.0-usb-0:1.2:1.0-port0", "ttyUSB0");
}

// A CDC-ACM device without a serial number: the tty's device is the interface itself.
void PicoWithoutSerial(FakeSysfs& sys) {
    sys.Device("pci0000:00/0000:00:14.0/usb3/3-2",
               {{"idVendor", "2e8a"}, {"idProduct", "000a"}, {"product", "Pico"}}, "usb", "usb")
        .Device("pci0000:00/0000:00:14.0/usb3/3-2/3-2:1.0", {{"bInterfaceNumber", "00"}}, "usb",
                "cdc_acm")
        .Tty("ttyACM0", "pci0000:00/0000:00:14.0/usb3/3-2/3-2:1.0");
}

// A dual-port FT2232H: two interfaces of one device, one serial number.
void Ft2232h(FakeSysfs& sys) {
    const std::string device = std::string(kHub) + "/1-1.3";
    sys.Device(device, {{"idVendor", "0403"}, {"idProduct", "6010"}, {"serial", "FT4XYZ"}}, "usb",
               "usb");
    for (const int port : {0, 1}) {
        const std::string interface = device + "/1-1.3:1." + std::to_string(port);
        const std::string tty = "ttyUSB" + std::to_string(port + 1);
        sys.Device(interface, {{"bInterfaceNumber", "0" + std::to_string(port)}}, "usb", "ftdi_sio")
            .Device(interface + "/" + tty, {{"latency_timer", "1"}}, "usb-serial", "ftdi_sio")
            .Tty(tty, interface + "/" + tty);
    }
}

// A 16550 UART found by PnP, as kernel 6.1 (Debian 12's) lays it out: the tty's device is the
// PnP device, bound to 8250_pnp's driver "serial".
void UartOn61(FakeSysfs& sys) {
    sys.Device("pnp0/00:04", {}, "pnp", "serial").Tty("ttyS1", "pnp0/00:04", {{"type", "4"}});
}

// The same from kernel 6.5 on: a "port" device and a "ctrl" device of the serial-base bus
// stand between the tty and the UART's own device.
void UartOn65(FakeSysfs& sys) {
    sys.Device("pnp0/00:00", {}, "pnp", "serial")
        .Device("pnp0/00:00/00:00:0", {}, "serial-base", "ctrl")
        .Device("pnp0/00:00/00:00:0/00:00:0.0", {}, "serial-base", "port")
        .Tty("ttyS0", "pnp0/00:00/00:00:0/00:00:0.0", {{"type", "4"}});
}

// What is no port: a position of the 8250 driver with no UART there (type 0, PORT_UNKNOWN),
// a virtual terminal, ptmx; pseudo-terminals are not in sysfs at all.
void NoPorts(FakeSysfs& sys) {
    sys.Device("platform/serial8250", {}, "platform", "serial8250")
        .Tty("ttyS3", "platform/serial8250", {{"type", "0"}})
        .Tty("tty1", "")
        .Tty("ptmx", "");
}

PresentPort Expected(const FakeSysfs& sys, const std::string& tty, const std::string& driver,
                     std::optional<UsbIdentity> usb = std::nullopt,
                     std::optional<int> latency = std::nullopt,
                     std::vector<std::string> links = {}) {
    PresentPort port;
    port.device = sys.Dev(tty);
    port.driver = driver;
    port.usb = std::move(usb);
    port.latencyTimerMs = latency;
    for (std::string& link : links) {
        link = sys.Dev(link);
    }
    port.links = std::move(links);
    return port;
}

TEST(PosixPresentPortsTest, EachTtyWithHardwareAsSysfsTellsIt) {
    const struct {
        const char* name;
        void (*build)(FakeSysfs&);
        std::vector<PresentPort> (*expected)(const FakeSysfs&);
    } cases[] = {
        {"FTDI adapter with a serial number, its latency timer and udev's links", Ft232r,
         [](const FakeSysfs& sys) {
             return std::vector{Expected(
                 sys, "ttyUSB0", "ftdi_sio",
                 UsbIdentity{0x0403, 0x6001, "A10K1ABC", "FTDI", "FT232R USB UART", 0, "1-1.2"}, 16,
                 {"serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0",
                  "serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0"})};
         }},
        {"CDC-ACM without a serial number", PicoWithoutSerial,
         [](const FakeSysfs& sys) {
             return std::vector{Expected(sys, "ttyACM0", "cdc_acm",
                                         UsbIdentity{0x2e8a, 0x000a, "", "", "Pico", 0, "3-2"})};
         }},
        {"two ports of one FTDI chip", Ft2232h,
         [](const FakeSysfs& sys) {
             return std::vector{
                 Expected(sys, "ttyUSB1", "ftdi_sio",
                          UsbIdentity{0x0403, 0x6010, "FT4XYZ", "", "", 0, "1-1.3"}, 1),
                 Expected(sys, "ttyUSB2", "ftdi_sio",
                          UsbIdentity{0x0403, 0x6010, "FT4XYZ", "", "", 1, "1-1.3"}, 1)};
         }},
        {"16550 UART, kernel 6.1", UartOn61,
         [](const FakeSysfs& sys) { return std::vector{Expected(sys, "ttyS1", "serial")}; }},
        {"16550 UART, kernel 6.5 and later", UartOn65,
         [](const FakeSysfs& sys) { return std::vector{Expected(sys, "ttyS0", "serial")}; }},
        {"no hardware: an empty UART position, a virtual terminal, ptmx", NoPorts,
         [](const FakeSysfs&) { return std::vector<PresentPort>{}; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSysfs sys;
        c.build(sys);
        std::vector<PresentPort> ports = PresentPortsIn(sys.Paths());
        SortPorts(ports);
        EXPECT_EQ(ports, c.expected(sys));
    }
    // No sysfs at all (a container without one) is no port, and no failure.
    FakeSysfs empty;
    EXPECT_TRUE(PresentPortsIn(empty.Paths()).empty());
}

TEST(PosixPresentPortsTest, AnEmptyUartPositionIsNoDeviceTheSystemHas) {
    FakeSysfs sys;
    NoPorts(sys);
    UartOn61(sys);
    const auto system = CreatePortSystem(CreatePosixSerialSystem(sys.Paths()));
    EXPECT_FALSE(system->DeviceExists(sys.Dev("ttyS3")));
    EXPECT_TRUE(system->DeviceExists(sys.Dev("ttyS1")));
    EXPECT_TRUE(system->DeviceExists(sys.Dev("tty1")));  // no port, but a device all the same
    EXPECT_FALSE(system->DeviceExists(sys.Dev("ttyS7")));
    // A selector is there when it matches one port.
    Ft232r(sys);
    Ft2232h(sys);
    EXPECT_TRUE(system->DeviceExists("usb:0403:6001"));
    EXPECT_FALSE(system->DeviceExists("usb:0403:6010"));
    EXPECT_FALSE(system->DeviceExists("usb:0403:6010:FT4XYZ"));  // both ports of the chip
    std::error_code error;
    EXPECT_EQ(system->Open("usb:0403:6010", error), nullptr);
    EXPECT_EQ(error, SelectorError::Several);
    EXPECT_EQ(system->Open("usb:0403:6002", error), nullptr);
    EXPECT_EQ(error, SelectorError::NoMatch);
    // The one match is opened: here a plain file, which is no terminal.
    EXPECT_EQ(system->Open("usb:0403:6001:A10K1ABC", error), nullptr);
    EXPECT_EQ(error, std::errc::inappropriate_io_control_operation);
}

// A pseudo-terminal whose terminal side another process may hold.
struct HeldPty {
    HeldPty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        ::grantpt(master), ::unlockpt(master), ::ptsname_r(master, name, sizeof(name));
        path = name;
    }
    ~HeldPty() { ::close(master); }
    int master = -1;
    std::string path;
};

// A child process that opens `path` and holds it (flock, or TIOCEXCL alone) until told to
// go; only async-signal-safe calls after the fork.
class Holder {
  public:
    Holder(const std::string& path, bool lock) {
        int ready[2], done[2];
        EXPECT_EQ(::pipe(ready) | ::pipe(done), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(done[1]);  // else its own copy would keep the read below from ending
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
            const bool held = fd >= 0 && (lock ? ::flock(fd, LOCK_EX | LOCK_NB) == 0
                                               : ::ioctl(fd, TIOCEXCL) == 0);
            const char byte = held ? 'y' : 'n';
            [[maybe_unused]] auto wrote = ::write(ready[1], &byte, 1);
            char end = 0;
            [[maybe_unused]] auto read = ::read(done[0], &end, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(done[0]);
        done_ = done[1];
        char byte = 0;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);  // the child has it, or failed
        EXPECT_EQ(byte, 'y');
        ::close(ready[0]);
    }
    ~Holder() {
        ::close(done_);  // the child's read ends
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int done_ = -1;
};

std::string OwnName() {
    return ProcessText(::getpid(), "/proc").substr(0, ProcessText(::getpid(), "/proc").find(" ("));
}

TEST(PosixPortLocksTest, NamesTheProcessThatHoldsABusyPort) {
    for (const bool lock : {true, false}) {
        SCOPED_TRACE(lock ? "flock" : "TIOCEXCL alone");
        const HeldPty pty;
        const Holder holder(pty.path, lock);
        const auto system = CreatePlatformSerialSystem();
        std::error_code error;
        EXPECT_EQ(system->Open(pty.path, error), nullptr);
        EXPECT_EQ(error, std::errc::device_or_resource_busy);
        EXPECT_EQ(system->BusyReason(pty.path),
                  "in use by " + OwnName() + " (pid " + std::to_string(holder.Pid()) + ")");
    }
    // Nobody else has it open: nobody to name.
    const HeldPty pty;
    EXPECT_EQ(CreatePlatformSerialSystem()->BusyReason(pty.path), "");
}

TEST(PosixPortLocksTest, LockFileNamesAndTheProcessTheyName) {
    const testing::TempDir dir;
    fs::create_directories(dir.path() / "dev" / "pts");
    std::ofstream(dir.path() / "dev" / "ttyUSB0").flush();
    fs::create_symlink(dir.path() / "dev" / "ttyUSB0", dir.path() / "module");
    EXPECT_EQ(LockFileName(dir.path() / "dev" / "ttyUSB0", dir.path() / "dev"), "LCK..ttyUSB0");
    EXPECT_EQ(LockFileName(dir.path() / "dev" / "pts" / "3", dir.path() / "dev"), "LCK..pts_3");
    EXPECT_EQ(LockFileName(dir.path() / "module", dir.path() / "dev"), "LCK..ttyUSB0");
    EXPECT_EQ(LockFileName(dir.path() / "elsewhere", dir.path() / "dev"), "");

    const std::int32_t binary = 4321;
    const struct {
        std::string content;
        std::optional<pid_t> pid;
    } cases[] = {
        {"      1234\n", 1234},
        {"1234", 1234},
        {std::string(reinterpret_cast<const char*>(&binary), 4), 4321},
        {"", std::nullopt},
        {"garbage\n", std::nullopt},
        {"        -5\n", std::nullopt},
        {"         0\n", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LockFilePid(c.content), c.pid) << c.content;
    }
}

TEST(PosixPortLocksTest, HonoursALiveLockReplacesAStaleOneAndRemovesItsOwn) {
    const HeldPty pty;
    const testing::TempDir dir;
    PosixPaths paths;
    paths.lockFolders = {dir.path() / "run-lock", dir.path() / "var-lock", dir.path() / "other"};
    fs::create_directories(paths.lockFolders[0]);
    fs::create_symlink(paths.lockFolders[0], paths.lockFolders[1]);  // Debian's /var/lock
    fs::create_directories(paths.lockFolders[2]);
    const std::string name = LockFileName(pty.path, paths.dev);
    const fs::path file = paths.lockFolders[0] / name;
    const auto system = CreatePosixSerialSystem(paths);
    const auto write = [](const fs::path& path, pid_t pid) {
        std::ofstream(path) << std::setw(10) << pid << "\n";
    };
    std::error_code error;

    // Our own, in the first folder only, whole, and gone at close.
    auto device = system->Open(pty.path, error);
    ASSERT_NE(device, nullptr) << error.message();
    EXPECT_EQ(testing::TempDir::Read(file),
              std::string(10 - std::to_string(::getpid()).size(), ' ') +
                  std::to_string(::getpid()) + "\n");
    EXPECT_FALSE(fs::exists(paths.lockFolders[2] / name));
    device.reset();
    EXPECT_FALSE(fs::exists(file));

    // Another program's, live, in any folder: refused, named, and left alone.
    write(paths.lockFolders[2] / name, ::getppid());
    EXPECT_EQ(system->Open(pty.path, error), nullptr);
    EXPECT_EQ(error, std::errc::device_or_resource_busy);
    EXPECT_EQ(system->BusyReason(pty.path), "locked by " + ProcessText(::getppid(), "/proc") +
                                                " in " + (paths.lockFolders[2] / name).string());
    EXPECT_FALSE(fs::exists(file));

    // A stale one, left by a program that died (one its parent has not waited for yet, too):
    // replaced by ours.
    const pid_t zombie = ::fork();
    if (zombie == 0) {
        ::_exit(0);
    }
    siginfo_t ended{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(zombie), &ended, WEXITED | WNOWAIT), 0);
    write(paths.lockFolders[2] / name, zombie);
    write(file, testing::EndedProcessId());
    device = system->Open(pty.path, error);
    ASSERT_NE(device, nullptr) << error.message();
    EXPECT_EQ(LockFilePid(testing::TempDir::Read(file)), ::getpid());
    device.reset();
    EXPECT_FALSE(fs::exists(file));
    int status = 0;
    ::waitpid(zombie, &status, 0);
}

TEST(PosixPortLocksTest, NoLockFolderToWriteInIsNoFailure) {
    const HeldPty pty;
    const testing::TempDir dir;
    PosixPaths paths;
    std::ofstream(dir.path() / "a-file").flush();
    for (const auto& folders : std::vector<std::vector<fs::path>>{
             {}, {dir.path() / "missing"}, {dir.path() / "a-file"}}) {
        paths.lockFolders = folders;
        std::error_code error;
        auto device = CreatePosixSerialSystem(paths)->Open(pty.path, error);
        EXPECT_NE(device, nullptr) << error.message();
    }
    // This process's own lock (another of its opens holds the port): the open decides, and
    // the file stays its owner's.
    paths.lockFolders = {dir.path()};
    const fs::path file = dir.path() / LockFileName(pty.path, paths.dev);
    std::ofstream(file) << ::getpid() << "\n";
    std::error_code error;
    auto device = CreatePosixSerialSystem(paths)->Open(pty.path, error);
    EXPECT_NE(device, nullptr) << error.message();
    device.reset();
    EXPECT_TRUE(fs::exists(file));
}

}  // namespace
}  // namespace glassbench::serial
