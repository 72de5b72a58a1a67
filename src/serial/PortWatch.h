// Waiting for a lost port to come back, without asking again and again.
//
// A watch ends its wait when something about the port may have changed: on Linux (inotify) a
// node made in /dev or in the folder of the port's name (a pseudo-terminal's link made anew),
// its permissions changed (udev sets them after the node appears), or a program that had the
// node open closing it (ModemManager's probe of a new port); where no system event tells, and
// for network ports, after a back-off that grows from a tenth of a second to two. Either way
// it ends at least every second, for a change no event tells of, and at once on a stop request.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <system_error>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

class PortWatch {
  public:
    virtual ~PortWatch() = default;
    // Until something may have changed (Ready), the deadline (TimedOut) or a stop request.
    virtual WaitResult Wait(TimePoint deadline, StopToken stop) = 0;
    // A node that is there but could not be had (busy, not permitted): its closing and its
    // permissions are watched too.
    virtual void WatchNode(const std::string& path) { static_cast<void>(path); }
    // After an open of `node` failed with `why`: a node that is there but not to be had yet
    // (udev sets its permissions late, a prober such as ModemManager holds it for a moment)
    // is watched (WatchNode).
    void OpenFailed(const std::string& node, const std::error_code& why) {
        if (why == std::errc::permission_denied || why == std::errc::device_or_resource_busy) {
            WatchNode(node);
        }
    }
};

// The watch for a port of that name: a network port's, a device's.
std::unique_ptr<PortWatch> WatchPort(const std::string& name);

// Waits that end by time alone, each twice as long as the last, from `first` to `longest`.
std::unique_ptr<PortWatch> BackOffWatch(std::chrono::milliseconds first,
                                        std::chrono::milliseconds longest);

// The longest a watch waits without an event.
inline constexpr std::chrono::seconds kLongestWatch{1};

}  // namespace glassbench::serial
