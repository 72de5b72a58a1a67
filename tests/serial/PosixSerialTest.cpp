// The POSIX serial services and SerialLink on real pseudo-terminals: exclusive opens, the raw
// line settings, every byte value both ways, and a device that disappears.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <numeric>
#include <thread>

#include "serial/PosixTermios.h"
#include "serial/Pty.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {
namespace {

using namespace std::chrono_literals;
using glassbench::testing::Pty;
using Bytes = std::vector<std::uint8_t>;

class Fd {
  public:
    explicit Fd(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

termios CookedTermios() {
    Pty pty;
    Fd slave(pty.SlavePath());
    termios t{};
    EXPECT_EQ(::tcgetattr(slave.get(), &t), 0);
    return t;
}

// ---- the raw settings ----------------------------------------------------------------

struct FlagCase {
    const char* name;
    tcflag_t termios::*field;
    tcflag_t flag;
};

TEST(ApplyLineSettingsTest, RawClearsEverythingThatChangesBytes) {
    termios t = CookedTermios();
    // A freshly plugged adapter: cooked, XON/XOFF on, CR mapped.
    t.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | INPCK;
    t.c_lflag |= ICANON | ECHO | ECHONL | ISIG | IEXTEN;
    t.c_oflag |= OPOST | ONLCR;
    t.c_cflag &= ~static_cast<tcflag_t>(CLOCAL | CREAD);
    LineSettings settings = ReportLineSettings(t);
    EXPECT_FALSE(settings.raw);
    settings.raw = true;
    settings.bitsPerSecond = 57600;
    settings.dataBits = 8;
    settings.parity = false;
    settings.stopBits = 1;
    const cc_t interrupt = t.c_cc[VINTR];
    ASSERT_TRUE(ApplyLineSettings(t, settings));

    const FlagCase cleared[] = {
        {"IXON", &termios::c_iflag, IXON},     {"IXOFF", &termios::c_iflag, IXOFF},
        {"IXANY", &termios::c_iflag, IXANY},   {"ICRNL", &termios::c_iflag, ICRNL},
        {"INLCR", &termios::c_iflag, INLCR},   {"IGNCR", &termios::c_iflag, IGNCR},
        {"ISTRIP", &termios::c_iflag, ISTRIP}, {"PARMRK", &termios::c_iflag, PARMRK},
        {"INPCK", &termios::c_iflag, INPCK},   {"ICANON", &termios::c_lflag, ICANON},
        {"ECHO", &termios::c_lflag, ECHO},     {"ECHONL", &termios::c_lflag, ECHONL},
        {"ISIG", &termios::c_lflag, ISIG},     {"IEXTEN", &termios::c_lflag, IEXTEN},
        {"OPOST", &termios::c_oflag, OPOST},   {"PARENB", &termios::c_cflag, PARENB},
        {"CSTOPB", &termios::c_cflag, CSTOPB},
    };
    for (const auto& c : cleared) {
        EXPECT_EQ(t.*(c.field) & c.flag, 0u) << c.name;
    }
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B57600));
    // Settings the link does not name keep the driver's values.
    EXPECT_EQ(t.c_cc[VINTR], interrupt);
    EXPECT_TRUE(ReportLineSettings(t).raw);
}

TEST(ApplyLineSettingsTest, HardwareFlowControlIsKeptAsReported) {
    for (const bool hardwareFlow : {false, true}) {
        termios t = CookedTermios();
        if (hardwareFlow) {
            t.c_cflag |= CRTSCTS;
        } else {
            t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        }
        LineSettings settings = ReportLineSettings(t);
        EXPECT_EQ(settings.hardwareFlow, hardwareFlow);
        settings.raw = true;
        settings.bitsPerSecond = 9600;
        ASSERT_TRUE(ApplyLineSettings(t, settings));
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, hardwareFlow);
    }
}

TEST(ApplyLineSettingsTest, SettingsTermiosCannotExpressAreRefused) {
    const termios before = CookedTermios();
    const LineSettings bad[] = {
        {12345, 8, false, 1, true, false},
        {9600, 9, false, 1, true, false},
        {9600, 8, false, 3, true, false},
    };
    for (const auto& settings : bad) {
        termios t = before;
        EXPECT_FALSE(ApplyLineSettings(t, settings));
        EXPECT_EQ(std::memcmp(&t, &before, sizeof(t)), 0);
    }
}

TEST(SpeedConstantTest, EveryTableSpeedHasATermiosConstant) {
    for (const auto& speed : SpeedTable) {
        const speed_t constant = SpeedConstant(speed.bitsPerSecond);
        EXPECT_NE(constant, static_cast<speed_t>(B0)) << speed.bitsPerSecond;
        EXPECT_EQ(BitsPerSecond(constant), speed.bitsPerSecond);
    }
}

// ---- opening -------------------------------------------------------------------------

TEST(PosixOpenTest, OnlyExistingTerminalsOpen) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string file =
        (dir / ("glassbench-not-a-tty-" + std::to_string(::getpid()))).string();
    std::FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const struct {
        std::string path;
        std::errc error;
    } cases[] = {
        {"/dev/glassbench-no-such-device", std::errc::no_such_file_or_directory},
        {"/dev/null", std::errc::inappropriate_io_control_operation},
        {file, std::errc::inappropriate_io_control_operation},
    };
    auto system = CreatePlatformSerialSystem();
    for (const auto& c : cases) {
        std::error_code error;
        EXPECT_EQ(system->Open(c.path, error), nullptr) << c.path;
        EXPECT_EQ(error, c.error) << c.path;
    }
    // Nothing was created by trying.
    EXPECT_FALSE(std::filesystem::exists("/dev/glassbench-no-such-device"));
    std::filesystem::remove(file);
}

TEST(PosixOpenTest, DeviceHeldWithFlockIsRefused) {
    Pty pty;
    Fd other(pty.SlavePath());
    ASSERT_EQ(::flock(other.get(), LOCK_EX | LOCK_NB), 0);
    auto system = CreatePlatformSerialSystem();
    std::error_code error;
    EXPECT_EQ(system->Open(pty.SlavePath(), error), nullptr);
    EXPECT_EQ(error, std::errc::device_or_resource_busy);
}

TEST(PosixOpenTest, DeviceHeldWithTiocexclIsRefusedEvenForRoot) {
    Pty pty;
    Fd other(pty.SlavePath());
    ASSERT_EQ(::ioctl(other.get(), TIOCEXCL), 0);
    auto system = CreatePlatformSerialSystem();
    std::error_code error;
    EXPECT_EQ(system->Open(pty.SlavePath(), error), nullptr);
    EXPECT_EQ(error, std::errc::device_or_resource_busy);
    ::ioctl(other.get(), TIOCNXCL);
}

TEST(PosixOpenTest, ReleasingDropsTheLockAndExclusiveMode) {
    Pty pty;
    auto system = CreatePlatformSerialSystem();
    std::error_code error;
    auto device = system->Open(pty.SlavePath(), error);
    ASSERT_NE(device, nullptr) << error.message();
    Fd watcher(pty.SlavePath());  // root passes TIOCEXCL; a second description sees the state
    int exclusive = 0;
    ASSERT_EQ(::ioctl(watcher.get(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    EXPECT_NE(::flock(watcher.get(), LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(system->Open(pty.SlavePath(), error), nullptr);

    device.reset();
    ASSERT_EQ(::ioctl(watcher.get(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_EQ(::flock(watcher.get(), LOCK_EX | LOCK_NB), 0);
    ::flock(watcher.get(), LOCK_UN);
    EXPECT_NE(system->Open(pty.SlavePath(), error), nullptr);
}

// ---- SerialLink on a pseudo-terminal -------------------------------------------------

class RecordingSink : public MessageSink {
  public:
    void ShowMessage(WindowHandle, std::string_view text, std::string_view, MessageIcon) override {
        shown.emplace_back(text);
    }
    std::vector<std::string> shown;
};

class PtyLinkTest : public ::testing::Test {
  protected:
    PtyLinkTest()
        : link(CreatePlatformSerialSystem(), BuildPortNameTable(pty.SlavePath()), &sink) {}

    Pty pty;
    RecordingSink sink;
    SerialLink link;
};

TEST_F(PtyLinkTest, OpenSetsRawLineAtTheSpeedOnThePty) {
    ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0) << link.LastOpenError().message();
    // The master reports the slave's settings.
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.Master(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_TRUE(ReportLineSettings(t).raw);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL), 0u);
    // A pty has no modem lines: raising them at open and the pulse after it are silent.
    link.SetModemLines(false, false);
    link.SetModemLines(true, true);
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(PtyLinkTest, EveryByteValueLeavesUnchanged) {
    ASSERT_EQ(link.OpenPort(0, 3, nullptr), 0);
    Bytes all(256);
    std::iota(all.begin(), all.end(), std::uint8_t{0});
    EXPECT_EQ(link.SendBytes(all.data(), 256), 256);
    EXPECT_EQ(pty.Read(256, 2s), all);
    EXPECT_FALSE(pty.HasInput());
}

TEST_F(PtyLinkTest, EveryByteValueArrivesUnchanged) {
    ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0);
    Bytes all(256);
    std::iota(all.begin(), all.end(), std::uint8_t{0});
    // The control characters a cooked terminal would act on, once more in a short reply.
    const Bytes specials{0x0A, 0x0D, 0x03, 0x11, 0x13};
    pty.Write(all);
    Bytes got(256, 0);
    EXPECT_EQ(link.ReceiveExact(got.data(), 256, 100000), 1);
    EXPECT_EQ(got, all);
    pty.Write(specials);
    Bytes reply(5, 0);
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 1);
    EXPECT_EQ(reply, specials);
    // Nothing was echoed back to the module.
    EXPECT_FALSE(pty.HasInput());
}

TEST_F(PtyLinkTest, PortHeldByAnotherDescriptionGivesCodeOneAndWritesNothing) {
    Fd other(pty.SlavePath());
    ASSERT_EQ(::flock(other.get(), LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(link.OpenPort(0, 3, nullptr), 1);
    EXPECT_EQ(link.LastOpenError(), std::errc::device_or_resource_busy);
    const Bytes frame{0xAA, 0x04, 0x80, 0x00, 0x2E};
    EXPECT_EQ(link.SendBytes(frame.data(), 5), 0);
    EXPECT_FALSE(pty.HasInput());
    // Nor were the settings touched: the terminal is still cooked.
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.Master(), &t), 0);
    EXPECT_NE(t.c_lflag & ICANON, 0u);
}

TEST_F(PtyLinkTest, DiscardInputEmptiesTheReceiveQueue) {
    ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0);
    pty.Write({1, 2, 3});
    // Wait until the bytes are really queued on the slave side.
    Bytes first(1, 0);
    ASSERT_EQ(link.ReceiveExact(first.data(), 1, 100000), 1);
    link.DiscardInput();
    Bytes rest(2, 0);
    EXPECT_EQ(link.ReceiveExact(rest.data(), 2, 1000), 0);
    EXPECT_EQ(link.LastReceivedCount(), 0);
}

TEST_F(PtyLinkTest, ReplyWindowStartsWhenTheFrameHasLeftTheWire) {
    ASSERT_EQ(link.OpenPort(0, 0, nullptr), 0);  // 1200 baud: 12 bytes are 100 ms
    const Bytes frame(12, 0x42);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(link.SendBytes(frame.data(), 12), 12);
    Bytes reply(5, 0);
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 1000), 0);  // 10 ms window
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 110ms);
    EXPECT_LT(elapsed, 2s);
}

TEST_F(PtyLinkTest, OtherEndClosingEndsTheWaitWithoutSpinning) {
    ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0);
    const Bytes frame{0xAA, 0x04, 0x80, 0x00, 0x2E};
    // The "module" takes the frame and then vanishes instead of answering.
    std::thread module([this] {
        pty.Read(5, 5s);
        pty.CloseMaster();
    });
    ASSERT_EQ(link.SendBytes(frame.data(), 5), 5);
    Bytes reply(5, 0);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000000), 0);  // a 1000 s window
    module.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_LT(std::clock() - cpuStart, CLOCKS_PER_SEC / 2);
    // Later calls return at once with nothing.
    EXPECT_EQ(link.SendBytes(frame.data(), 5), 0);
    const auto again = std::chrono::steady_clock::now();
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - again, 1s);
    EXPECT_TRUE(link.IsReady());
}

}  // namespace
}  // namespace glassbench::serial
