// Time as Win32 waits take it: a deadline on the monotonic clock turned into the milliseconds
// that WaitForSingleObject and its kin wait for.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <chrono>

#include "net/Io.h"

namespace glassbench::net {

// Milliseconds until the deadline, rounded up so a wait never ends before it.
inline DWORD MillisecondsUntil(TimePoint deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<DWORD>(std::min<long long>(ms, INFINITE - 1));
}

}  // namespace glassbench::net
