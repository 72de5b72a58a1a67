// Time as POSIX waits take it: a deadline on the monotonic clock turned into the timespec
// that ppoll waits for.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

// What is left until `deadline`, never less than nothing.
inline timespec TimeLeft(TimePoint deadline) {
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ts;
}

}  // namespace glassbench::serial
