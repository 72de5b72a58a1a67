// The one clock of the program: monotonic, so that a deadline or a frame's 100 ms stall never
// moves when the wall clock is set. The protocol only names it, for the moments its callers
// pass in (FrameScanner); the serial link, the module and the command line read it.
#pragma once

#include <chrono>

namespace glassbench::protocol {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

}  // namespace glassbench::protocol
