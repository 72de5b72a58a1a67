// The serial services on Linux and other POSIX systems: termios for the line, ioctl for the
// modem lines and the receive queue, flock and TIOCEXCL for exclusive use, poll for waiting.
//
// A device is opened non-blocking and stays so: writes take what the driver has room for,
// reads take what is queued, and only Wait sleeps, in ppoll, against a monotonic deadline.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <ctime>
#include <utility>

#include "serial/PosixTermios.h"
#include "serial/SerialSystem.h"

namespace glassbench::serial {

namespace {

struct SpeedRow {
    int bitsPerSecond;
    speed_t constant;
};

constexpr std::array<SpeedRow, 19> kSpeeds{{
    {0, B0},         {50, B50},       {75, B75},         {110, B110},       {134, B134},
    {150, B150},     {200, B200},     {300, B300},       {600, B600},       {1200, B1200},
    {1800, B1800},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
}};

std::error_code Errno(int value) {
    return {value, std::generic_category()};
}

// How an errno from a read, write or query of an open device is to be taken: the device
// has gone (a pulled USB adapter gives EIO or ENODEV, a pty whose master closed gives EIO).
IoStatus StatusOf(int error) {
    switch (error) {
        case EAGAIN:
            return IoStatus::WouldBlock;
        case EIO:
        case ENXIO:
        case ENODEV:
        case EPIPE:
            return IoStatus::Gone;
        default:
            return IoStatus::Failed;
    }
}

timespec ToTimespec(Clock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ts;
}

class PosixSerialDevice final : public SerialDevice {
  public:
    explicit PosixSerialDevice(int fd) : fd_(fd) {}

    ~PosixSerialDevice() override {
        // Give the device back as it was found: no longer exclusive, no longer locked.
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }

    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    bool ReadLineSettings(LineSettings& settings) override {
        termios t{};
        if (::tcgetattr(fd_, &t) != 0) {
            return Fail();
        }
        reported_ = t;
        haveReported_ = true;
        settings = ReportLineSettings(t);
        return true;
    }

    bool WriteLineSettings(const LineSettings& settings) override {
        if (!haveReported_) {
            LineSettings ignored;
            if (!ReadLineSettings(ignored)) {
                return false;
            }
        }
        termios t = reported_;
        if (!ApplyLineSettings(t, settings)) {
            error_ = Errno(EINVAL);
            return false;
        }
        if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
            return Fail();
        }
        // tcsetattr reports success when any one change took; read back what the driver
        // now has.
        termios now{};
        if (::tcgetattr(fd_, &now) != 0) {
            return Fail();
        }
        if (ReportLineSettings(now) != ReportLineSettings(t)) {
            error_ = Errno(EINVAL);
            return false;
        }
        reported_ = now;
        return true;
    }

    // Time-outs have no termios counterpart: reads here never wait inside the driver. The
    // block is kept so that it reads back as it was written.
    bool ReadReadTimeouts(ReadTimeouts& timeouts) override {
        timeouts = timeouts_;
        return true;
    }
    bool WriteReadTimeouts(const ReadTimeouts& timeouts) override {
        timeouts_ = timeouts;
        return true;
    }

    ModemResult SetModemLines(bool dtr, bool rts) override {
        int raise = 0;
        int drop = 0;
        (dtr ? raise : drop) |= TIOCM_DTR;
        (rts ? raise : drop) |= TIOCM_RTS;
        for (const auto& [request, bits] :
             {std::pair{TIOCMBIS, raise}, std::pair{TIOCMBIC, drop}}) {
            int value = bits;
            if (value != 0 && ::ioctl(fd_, request, &value) != 0) {
                error_ = Errno(errno);
                // Pseudo-terminals and some virtual ports have no modem lines: the ioctl
                // fails with ENOTTY (or EINVAL from some USB drivers). Nothing to set.
                if (errno == ENOTTY || errno == EINVAL) {
                    return ModemResult::NoModemLines;
                }
                return ModemResult::Failed;
            }
        }
        return ModemResult::Done;
    }

    IoResult Write(const std::uint8_t* bytes, int count) override {
        for (;;) {
            const ssize_t n = ::write(fd_, bytes, static_cast<std::size_t>(count));
            if (n > 0) {
                return {static_cast<int>(n), IoStatus::Done};
            }
            if (n == 0) {
                error_ = Errno(EIO);
                return {0, IoStatus::Failed};
            }
            if (errno != EINTR) {
                return Failed();
            }
        }
    }

    IoResult QueuedInput() override {
        int queued = 0;
        if (::ioctl(fd_, FIONREAD, &queued) != 0) {
            return Failed();
        }
        return {queued, IoStatus::Done};
    }

    IoResult Read(std::uint8_t* buffer, int count) override {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, static_cast<std::size_t>(count));
            if (n > 0) {
                return {static_cast<int>(n), IoStatus::Done};
            }
            if (n == 0) {
                // End of file on a terminal: it has been hung up.
                error_ = Errno(EIO);
                return {0, IoStatus::Gone};
            }
            if (errno != EINTR) {
                return Failed();
            }
        }
    }

    WaitResult Wait(WaitFor what, TimePoint deadline) override {
        pollfd entry{fd_, static_cast<short>(what == WaitFor::Input ? POLLIN : POLLOUT), 0};
        for (;;) {
            const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
            const timespec timeout = ToTimespec(left);
            entry.revents = 0;
            const int rc = ::ppoll(&entry, 1, &timeout, nullptr);
            if (rc < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error_ = Errno(errno);
                return WaitResult::Gone;
            }
            if (rc == 0) {
                if (Clock::now() < deadline) {
                    continue;
                }
                return WaitResult::TimedOut;
            }
            // A hung-up terminal polls readable too; the read that follows finds out.
            if ((entry.revents & entry.events) != 0) {
                return WaitResult::Ready;
            }
            error_ = Errno(EIO);
            return WaitResult::Gone;
        }
    }

    void DiscardInput() override {
        if (::tcflush(fd_, TCIFLUSH) != 0) {
            error_ = Errno(errno);
        }
    }

    std::error_code LastError() const override { return error_; }

  private:
    bool Fail() {
        error_ = Errno(errno);
        return false;
    }
    IoResult Failed() {
        const int error = errno;
        error_ = Errno(error);
        return {0, StatusOf(error)};
    }

    int fd_;
    termios reported_{};
    bool haveReported_ = false;
    ReadTimeouts timeouts_{};
    std::error_code error_;
};

// Closes the descriptor unless released to its new owner.
class FdGuard {
  public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

class PosixSerialSystem final : public SerialSystem {
  public:
    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        // No O_CREAT: only a device that exists. O_NOCTTY: never become its controlling
        // process. O_NONBLOCK: the open does not wait for carrier, and no read or write ever
        // waits inside the driver.
        FdGuard fd(::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (fd.get() < 0) {
            error = Errno(errno);
            return nullptr;
        }
        if (::isatty(fd.get()) == 0) {
            error = Errno(ENOTTY);
            return nullptr;
        }
        // Exclusive use, both ways, before any setting changes: another program's flock, or
        // its TIOCEXCL (which does not stop root, and CI runs as root), means it holds the
        // device.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            error = Errno(errno == EWOULDBLOCK ? EBUSY : errno);
            return nullptr;
        }
#ifdef TIOCGEXCL
        int exclusive = 0;
        if (::ioctl(fd.get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
            error = Errno(EBUSY);
            return nullptr;
        }
#endif
        if (::ioctl(fd.get(), TIOCEXCL) != 0) {
            error = Errno(errno);
            return nullptr;
        }
        return std::make_unique<PosixSerialDevice>(fd.release());
    }

    bool DeviceExists(const std::string& name) override {
        struct stat info {};
        return ::stat(name.c_str(), &info) == 0;
    }

    TimePoint Now() override {
        return Clock::now();
    }
};

}  // namespace

speed_t SpeedConstant(int bitsPerSecond) {
    for (const auto& row : kSpeeds) {
        if (row.bitsPerSecond == bitsPerSecond) {
            return row.constant;
        }
    }
    return B0;
}

int BitsPerSecond(speed_t speed) {
    for (const auto& row : kSpeeds) {
        if (row.constant == speed) {
            return row.bitsPerSecond;
        }
    }
    return 0;
}

bool ApplyLineSettings(termios& t, const LineSettings& settings) {
    const speed_t speed = SpeedConstant(settings.bitsPerSecond);
    tcflag_t size = 0;
    switch (settings.dataBits) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return false;
    }
    if (speed == B0 || (settings.stopBits != 1 && settings.stopBits != 2)) {
        return false;
    }
    termios result = t;
    if (settings.raw) {
        // As cfmakeraw, and software flow control off besides: XON/XOFF would swallow 0x11
        // and 0x13, ICRNL would turn 0x0D into 0x0A, ISIG would swallow 0x03, PARMRK would
        // double 0xFF.
        result.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                                 ICRNL | IXON | IXOFF | IXANY | INPCK | IMAXBEL);
        result.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        result.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        result.c_cflag |= CLOCAL | CREAD;
        // One byte makes the device readable; poll would otherwise wait for VMIN bytes.
        result.c_cc[VMIN] = 1;
        result.c_cc[VTIME] = 0;
    }
    result.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    result.c_cflag |= size;
    if (settings.parity) {
        result.c_cflag |= PARENB;
    }
    if (settings.stopBits == 2) {
        result.c_cflag |= CSTOPB;
    }
    if (settings.hardwareFlow) {
        result.c_cflag |= CRTSCTS;
    }
    if (::cfsetispeed(&result, speed) != 0 || ::cfsetospeed(&result, speed) != 0) {
        return false;
    }
    t = result;
    return true;
}

LineSettings ReportLineSettings(const termios& t) {
    LineSettings settings;
    settings.bitsPerSecond = BitsPerSecond(::cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5:
            settings.dataBits = 5;
            break;
        case CS6:
            settings.dataBits = 6;
            break;
        case CS7:
            settings.dataBits = 7;
            break;
        default:
            settings.dataBits = 8;
            break;
    }
    settings.parity = (t.c_cflag & PARENB) != 0;
    settings.stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
    settings.hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
    const bool inputRaw =
        (t.c_iflag & (PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK)) == 0;
    const bool lineRaw = (t.c_lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN)) == 0;
    const bool outputRaw = (t.c_oflag & OPOST) == 0;
    const bool receiving = (t.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD);
    settings.raw =
        inputRaw && lineRaw && outputRaw && receiving && t.c_cc[VMIN] == 1 && t.c_cc[VTIME] == 0;
    return settings;
}

std::unique_ptr<SerialSystem> CreatePlatformSerialSystem() {
    return std::make_unique<PosixSerialSystem>();
}

void WaitUntil(TimePoint deadline) {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return;
        }
        const timespec timeout = ToTimespec(left);
        ::ppoll(nullptr, 0, &timeout, nullptr);
    }
}

}  // namespace glassbench::serial
