#include "serial/PosixSerialDevice.h"

#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "net/PosixFd.h"
#include "net/PosixPoll.h"
#include "serial/PosixTermios.h"

namespace glassbench::serial {

using net::PollOne;
using net::UniqueFd;

namespace {

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

// Sets low-latency mode on the device, unless it is on already or the driver refuses
// (ENOTTY from a pseudo-terminal, EINVAL or EPERM from a driver that keeps its flags); true
// when it was set, and so is to be cleared at close.
bool SetLowLatency(int fd) {
    serial_struct settings{};
    if (::ioctl(fd, TIOCGSERIAL, &settings) != 0 || (settings.flags & ASYNC_LOW_LATENCY) != 0) {
        return false;
    }
    settings.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &settings) == 0;
}

void ClearLowLatency(int fd) {
    serial_struct settings{};
    if (::ioctl(fd, TIOCGSERIAL, &settings) == 0) {
        settings.flags &= ~ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &settings);
    }
}

class PosixSerialDevice final : public SerialDevice {
  public:
    PosixSerialDevice(int fd, UucpLock lock, StopToken stop)
        : lock_(std::move(lock)),
          owned_(fd),
          fd_(fd),
          stop_(stop),
          lowLatency_(SetLowLatency(fd)) {}

    ~PosixSerialDevice() override {
        // Give the device back as it was found: its own latency, no longer exclusive, no
        // longer locked; the lock file goes last, once the descriptor is closed.
        if (lowLatency_) {
            ClearLowLatency(fd_);
        }
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
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

    // Reads here never wait inside the driver, so there is no read time-out to set.
    TimeoutsResult ApplyReadTimeouts() override { return TimeoutsResult::Done; }

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
        // A hung-up terminal polls readable too; the read that follows finds out.
        return PollOne(fd_, what == WaitFor::Input ? POLLIN : POLLOUT, deadline, stop_, error_);
    }

    void DiscardInput() override {
        if (::tcflush(fd_, TCIFLUSH) != 0) {
            error_ = Errno(errno);
        }
    }

    std::optional<WaitToken> InputToken() override { return fd_; }

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

    UucpLock lock_;
    UniqueFd owned_;
    int fd_;
    StopToken stop_;
    bool lowLatency_;
    termios reported_{};
    bool haveReported_ = false;
    std::error_code error_;
};

}  // namespace

std::unique_ptr<SerialDevice> MakePosixSerialDevice(int fd, UucpLock lock, StopToken stop) {
    return std::make_unique<PosixSerialDevice>(fd, std::move(lock), stop);
}

}  // namespace glassbench::serial
