// The serial services on Linux and other POSIX systems: opening a device for exclusive use
// (flock and TIOCEXCL), and the process's CPU clock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "net/PosixFd.h"
#include "serial/PosixSerialDevice.h"

namespace glassbench::serial {

using net::UniqueFd;

namespace {

std::error_code Errno(int value) {
    return {value, std::generic_category()};
}

class PosixSerialSystem final : public SerialSystem {
  public:
    explicit PosixSerialSystem(StopToken stop) : stop_(stop) {}

    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        // No O_CREAT: only a device that exists. O_NOCTTY: never become its controlling
        // process. O_NONBLOCK: the open does not wait for carrier, and no read or write ever
        // waits inside the driver.
        UniqueFd fd(::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (fd.Get() < 0) {
            error = Errno(errno);
            return nullptr;
        }
        if (::isatty(fd.Get()) == 0) {
            error = Errno(ENOTTY);
            return nullptr;
        }
        // Exclusive use, both ways, before any setting changes: another program's flock, or
        // its TIOCEXCL (which does not stop root, and CI runs as root), means it holds the
        // device.
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            error = Errno(errno == EWOULDBLOCK ? EBUSY : errno);
            return nullptr;
        }
#ifdef TIOCGEXCL
        int exclusive = 0;
        if (::ioctl(fd.Get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
            error = Errno(EBUSY);
            return nullptr;
        }
#endif
        if (::ioctl(fd.Get(), TIOCEXCL) != 0) {
            error = Errno(errno);
            return nullptr;
        }
        return MakePosixSerialDevice(fd.Release(), stop_);
    }

    bool DeviceExists(const std::string& name) override {
        struct stat info {};
        return ::stat(name.c_str(), &info) == 0;
    }

    TimePoint Now() override {
        return Clock::now();
    }

  private:
    StopToken stop_;
};

}  // namespace

std::unique_ptr<SerialSystem> CreateLocalSerialSystem(StopToken stop) {
    return std::make_unique<PosixSerialSystem>(stop);
}

std::chrono::nanoseconds ProcessCpuTime() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

}  // namespace glassbench::serial
