// A request from outside to stop the program: SIGINT, SIGTERM or SIGHUP on POSIX systems
// (Ctrl+C, kill, a closed terminal), Ctrl+C, Ctrl+Break or a closed console on Windows.
//
// A program that holds a serial port must not die with it: a device that another process
// still holds open would keep its exclusive mode, and every later open would fail as busy.
// So while a StopRequest lives, these signals only record themselves and wake whatever waits
// on the request (the handler does nothing else); the program notices at its next check,
// stops, and releases the port on the ordinary way out. Only one may live at a time.
#pragma once

#include "serial/SerialSystem.h"

namespace glassbench::serial {

class StopRequest {
  public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    bool Requested() const;
    // The signal that asked (SIGINT, SIGTERM, SIGHUP; 2 on Windows), 0 before any.
    int Signal() const;
    // The exit status of a program a request stopped: 128 and the signal's number, as shells
    // report a program a signal ended; 0 before any request.
    int ExitCode() const { return Requested() ? 128 + Signal() : 0; }
    // Waits until `deadline` on the monotonic clock or a request; false after a request.
    bool WaitUntil(TimePoint deadline) const;
    // On POSIX systems a descriptor that turns readable with the first request, for poll
    // loops and event loops; -1 elsewhere.
    int PollFd() const;
    // On Windows a manual-reset event (a HANDLE) that is set with the first request, for
    // WaitForMultipleObjects and thread-pool waits; nullptr elsewhere.
    void* WaitHandle() const;
    // What WaitForAny (SerialSystem.h) watches for a request: the descriptor or the event.
    WaitToken Token() const;
};

}  // namespace glassbench::serial
