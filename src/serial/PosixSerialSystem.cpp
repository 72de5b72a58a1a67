// The serial services on Linux and other POSIX systems: opening a device for exclusive use
// (a UUCP lock file where the lock folder may be written, flock and TIOCEXCL), the ports
// present (PosixPresentPorts.cpp), who holds a busy port (PosixPortLocks.cpp), and the
// process's CPU clock.
#include "serial/PosixSerialSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "net/PosixFd.h"
#include "serial/PosixPortLocks.h"
#include "serial/PosixPresentPorts.h"
#include "serial/PosixSerialDevice.h"

namespace glassbench::serial {

using net::UniqueFd;

namespace {

std::error_code Errno(int value) {
    return {value, std::generic_category()};
}

class PosixSerialSystem final : public SerialSystem {
  public:
    PosixSerialSystem(PosixPaths paths, StopToken stop) : paths_(std::move(paths)), stop_(stop) {}

    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        // The lock file first: a port another program has locked is not even opened, since
        // opening raises DTR and RTS.
        auto lock = UucpLock::Acquire(name, paths_, error);
        if (!lock) {
            return nullptr;
        }
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
        // its TIOCEXCL (which does not stop root, and CI runs as root; flock does), means it
        // holds the device.
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
        return MakePosixSerialDevice(fd.Release(), std::move(*lock), stop_);
    }

    // A node whose tty sysfs shows without hardware (an empty UART position) is no port.
    bool DeviceExists(const std::string& name) override {
        struct stat info {};
        return ::stat(name.c_str(), &info) == 0 && !HasNoHardware(name, paths_);
    }

    TimePoint Now() override {
        return Clock::now();
    }

    std::vector<PresentPort> PresentPorts() override {
        return PresentPortsIn(paths_);
    }

    std::string BusyReason(const std::string& name) override {
        return serial::BusyReason(name, paths_);
    }

  private:
    PosixPaths paths_;
    StopToken stop_;
};

}  // namespace

std::string ReadFileStart(const std::filesystem::path& file, std::size_t most) {
    std::ifstream in(file, std::ios::binary);
    std::string text(most, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

PosixPaths SystemPaths() {
    PosixPaths paths;
    if (const char* folder = std::getenv("GLASSBENCH_LOCK_DIR")) {
        paths.lockFolders.clear();
        if (folder[0] != '\0') {
            paths.lockFolders.emplace_back(folder);
        }
    }
    return paths;
}

std::unique_ptr<SerialSystem> CreatePosixSerialSystem(PosixPaths paths, StopToken stop) {
    return std::make_unique<PosixSerialSystem>(std::move(paths), stop);
}

std::unique_ptr<SerialSystem> CreateLocalSerialSystem(StopToken stop) {
    return CreatePosixSerialSystem(SystemPaths(), stop);
}

std::chrono::nanoseconds ProcessCpuTime() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

}  // namespace glassbench::serial
