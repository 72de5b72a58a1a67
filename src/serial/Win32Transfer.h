// One overlapped read or write on a Windows handle, for the serial devices (Win32SerialDevice.cpp):
// the OVERLAPPED block, its manual-reset event and the buffer it works on, which stay where they
// are for as long as the driver has them; and what a failed transfer's error means.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <optional>
#include <system_error>
#include <vector>

#include "net/UniqueHandle.h"
#include "serial/SerialSystem.h"

namespace glassbench::serial {

std::error_code SystemError(DWORD code);

// What a failed read, write or query means: Gone for what a pulled USB adapter reports, and
// what Wine reports for a device whose Unix side has hung up.
IoStatus StatusOf(DWORD error);

void CloseSystemHandle(HANDLE handle);
using Handle = net::UniqueHandle<HANDLE, &CloseSystemHandle>;

class Transfer {
  public:
    Transfer();

    std::vector<std::uint8_t> buffer;

    bool InFlight() const { return inFlight_; }
    WaitToken Token() const { return reinterpret_cast<WaitToken>(event_.Get()); }
    // Why the last start, ending or cancel failed.
    DWORD Error() const { return error_; }

    // Hands the first `count` bytes of `buffer` to ReadFile or WriteFile: Done with the count
    // moved when the driver finished at once, WouldBlock while it is in flight, else the
    // failure.
    IoResult Start(HANDLE device, bool read, int count);

    // How it ended, once it has (waiting until `deadline` at most, or a request of `stop`):
    // Done with the count moved, or the failure with what moved before it. nullopt while it is
    // still in flight.
    std::optional<IoResult> Ended(HANDLE device, TimePoint deadline = {}, StopToken stop = {});

    // Ends it now: cancelled, and waited for until the driver has let go of block and buffer.
    // What it moved before (or completed as it was cancelled) still counts.
    IoResult Cancel(HANDLE device);

  private:
    std::optional<IoResult> Outcome(HANDLE device, BOOL wait);

    Handle event_;
    OVERLAPPED overlapped_{};
    bool inFlight_ = false;
    DWORD error_ = 0;
};

}  // namespace glassbench::serial
