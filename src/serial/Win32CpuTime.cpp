// The process's CPU time on Windows, for the exchange figures.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

std::chrono::nanoseconds ProcessCpuTime() {
    // msvcrt's clock() counts elapsed time, not CPU time; the kernel's own figures are
    // 100 ns units of kernel and user time.
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return std::chrono::nanoseconds{0};
    }
    const auto units = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return std::chrono::nanoseconds{static_cast<long long>((units(kernel) + units(user)) * 100)};
}

}  // namespace glassbench::serial
