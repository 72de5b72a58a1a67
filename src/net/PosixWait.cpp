// One wait over several descriptors on POSIX systems: a single ppoll, so that whichever is
// ready first wakes the caller at once.
#include <poll.h>

#include <cerrno>
#include <vector>

#include "net/Io.h"
#include "net/PosixPoll.h"

namespace glassbench::net {

std::optional<std::size_t> WaitForAny(std::span<const WaitToken> tokens, TimePoint deadline,
                                      std::span<const WaitToken> writable) {
    std::vector<pollfd> fds;
    fds.reserve(tokens.size() + writable.size());
    for (const WaitToken token : tokens) {
        fds.push_back({static_cast<int>(token), POLLIN, 0});
    }
    for (const WaitToken token : writable) {
        fds.push_back({static_cast<int>(token), POLLOUT, 0});
    }
    for (;;) {
        const timespec timeout = TimeLeft(deadline);
        const int rc = ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
        if (rc < 0 && errno != EINTR) {
            return std::nullopt;
        }
        for (std::size_t i = 0; rc > 0 && i < fds.size(); ++i) {
            // A hang-up or an error is readiness too: the read that follows finds out.
            if (fds[i].revents != 0) {
                return i;
            }
        }
        if (rc == 0 && Clock::now() >= deadline) {
            return std::nullopt;
        }
    }
}

}  // namespace glassbench::net
