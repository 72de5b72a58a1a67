// The words every device and stream of the program speaks: results of operations that never
// block, and waits against a deadline on the monotonic clock. A wait also ends at a stop
// request (StopRequest's token, handed down by the program), so that Ctrl+C ends any of them.
//
// WaitForAny is the one wait over several things at once: ppoll over descriptors on POSIX
// systems (PosixWait.cpp), WaitForMultipleObjects over event handles on Windows
// (Win32Wait.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "protocol/Clock.h"

namespace glassbench::net {

using protocol::Clock;
using protocol::TimePoint;

enum class IoStatus {
    Done,        // `count` bytes moved (a query: `count` bytes queued)
    WouldBlock,  // nothing could move without waiting
    Gone,        // the device has disappeared: adapter pulled, pty closed, connection closed
    Failed,      // any other failure
};

struct IoResult {
    int count = 0;
    IoStatus status = IoStatus::Done;
};

enum class WaitFor { Input, Output };

enum class WaitResult {
    Ready,     // the condition holds
    TimedOut,  // the deadline passed first
    Gone,      // the device or connection has gone, or the wait itself failed
    Stopped,   // a stop request came first
};

// What a wait over several things at once watches: a descriptor to poll on POSIX systems, an
// event handle on Windows.
using WaitToken = std::intptr_t;

// A stop request's token, when the program has one: every wait watches it too.
using StopToken = std::optional<WaitToken>;

// Waits until one of `tokens` is ready or the deadline passes, resuming after signals: the
// index of a ready one, or nullopt at the deadline. Ready at once if one is ready already.
// `writable` tokens (a socket's OutputToken) end it when they have room to write; which of
// them did is not told (on Windows one event stands for both ways), so callers look again.
std::optional<std::size_t> WaitForAny(std::span<const WaitToken> tokens, TimePoint deadline,
                                      std::span<const WaitToken> writable = {});

}  // namespace glassbench::net
