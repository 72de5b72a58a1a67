// The serial services on Linux and other POSIX systems: opening a device for exclusive use
// (flock and TIOCEXCL), and the monotonic and CPU clocks.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <utility>

#include "serial/PosixSerialDevice.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {

namespace {

std::error_code Errno(int value) {
    return {value, std::generic_category()};
}

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
        return MakePosixSerialDevice(fd.release());
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

std::unique_ptr<SerialSystem> CreatePlatformSerialSystem() {
    return std::make_unique<PosixSerialSystem>();
}

void WaitUntil(TimePoint deadline) {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{};
        timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        ::ppoll(nullptr, 0, &timeout, nullptr);
    }
}

std::chrono::nanoseconds ProcessCpuTime() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

}  // namespace glassbench::serial
