// A time as the command line prints it: seconds with six decimals ("12.345678"), which is a JSON
// number too. monitor's times since its start, the comments of a recording and the durations of
// a JUnit report all read this way.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace glassbench::cli {

// Below zero reads as zero: a time stamped just before a start is no time before it.
template <class Rep, class Period>
std::string SecondsText(std::chrono::duration<Rep, Period> time) {
    const long long us =
        std::max<long long>(std::chrono::duration_cast<std::chrono::microseconds>(time).count(), 0);
    char text[32];
    std::snprintf(text, sizeof(text), "%lld.%06lld", us / 1'000'000, us % 1'000'000);
    return text;
}

}  // namespace glassbench::cli
