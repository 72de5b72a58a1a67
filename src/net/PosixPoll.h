// Waiting on POSIX systems: a deadline on the monotonic clock turned into the timespec that
// ppoll waits for, and a wait on one descriptor against it, retried after signals.
#pragma once

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "net/Io.h"

namespace glassbench::net {

// What is left until `deadline`, never less than nothing.
inline timespec TimeLeft(TimePoint deadline) {
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ts;
}

// Until `fd` has one of `events`, the deadline, or (with a stop token) a stop request. Gone
// when it reports only a hang-up or an error (a hung-up terminal, a reset socket), or when the
// wait itself fails; `error` then says why.
inline WaitResult PollOne(int fd, short events, TimePoint deadline, StopToken stop,
                          std::error_code& error) {
    pollfd entries[2] = {{fd, events, 0}, {stop ? static_cast<int>(*stop) : -1, POLLIN, 0}};
    for (;;) {
        const timespec timeout = TimeLeft(deadline);
        entries[0].revents = entries[1].revents = 0;
        const int rc = ::ppoll(entries, stop ? 2 : 1, &timeout, nullptr);
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = {errno, std::generic_category()};
            return WaitResult::Gone;
        }
        if (entries[1].revents != 0) {
            return WaitResult::Stopped;
        }
        if (rc == 0) {
            if (Clock::now() < deadline) {
                continue;
            }
            return WaitResult::TimedOut;
        }
        if ((entries[0].revents & events) != 0) {
            return WaitResult::Ready;
        }
        error = {EIO, std::generic_category()};
        return WaitResult::Gone;
    }
}

}  // namespace glassbench::net
