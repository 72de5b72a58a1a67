// A pseudo-terminal pair for tests: the test holds the master side and plays the module,
// the code under test opens the slave by its path as it would a serial device.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace glassbench::testing {

class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof(name)) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        slavePath_ = name;
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }

    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    void Write(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd entry{master_, POLLOUT, 0};
                ::poll(&entry, 1, 1000);
            } else {
                throw std::runtime_error("pty write failed");
            }
        }
    }

    // Reads until `count` bytes are in or the deadline passes.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() < 0) {
                break;
            }
            pollfd entry{master_, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count()) + 1) <= 0) {
                continue;
            }
            std::uint8_t chunk[512];
            const ssize_t n = ::read(master_, chunk, std::min(sizeof(chunk), count - bytes.size()));
            if (n > 0) {
                bytes.insert(bytes.end(), chunk, chunk + n);
            } else if (n == 0 || errno != EAGAIN) {
                break;
            }
        }
        return bytes;
    }

    // Whether anything at all is waiting on the master side.
    bool HasInput() const {
        pollfd entry{master_, POLLIN, 0};
        return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
    }

  private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace glassbench::testing
