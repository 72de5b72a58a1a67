// A serial line that is watched and never driven: what glassbench-cli monitor opens on the TX
// line of a microcontroller and, optionally, on the module's.
//
// Open takes the device as every open does, exclusively (a line another program holds is
// refused), then sets raw 8N1 at the given speed with the driver's other settings kept, and the
// read time-outs where the system has them. It does nothing else: no modem-line pulse, and DTR
// and RTS are never set (LineSettings::keepModemLines makes the Win32 state block keep both as
// it found them; on POSIX systems only SetModemLines drives them, and it is never called). Linux
// itself raises both when a port is opened and drops them on its last close if HUPCL is set;
// that is the driver's doing and happens to any program that opens the port. No byte is ever
// written. Take collects what has arrived as the link collects a reply; a wait for more goes
// over all the lines a program watches at once (WaitForInput, SerialSystem.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "serial/SerialLink.h"

namespace glassbench::serial {

class LineTap {
  public:
    // Null, with the system's reason in `error` (and in `detail` where more is known, see
    // SerialSystem::LastOpenDetail), when the device will not open or will not take the
    // settings.
    static std::unique_ptr<LineTap> Open(SerialSystem& system, const std::string& name,
                                         int bitsPerSecond, std::error_code& error,
                                         std::string& detail);

    // Up to `room` bytes that have arrived: Done with their count (0 when none), or Gone once
    // the device has disappeared (a pulled adapter, a pseudo-terminal whose other side closed),
    // or Failed.
    // `woken`: a wait has just said this line is ready (see Collect).
    IoResult Take(std::uint8_t* buffer, int room, bool woken = false) {
        return Collect(*device_, buffer, room, woken);
    }
    // The device, for a wait over several lines at once (WaitForInput).
    SerialDevice& Device() { return *device_; }
    std::error_code LastError() const { return device_->LastError(); }

  private:
    explicit LineTap(std::unique_ptr<SerialDevice> device) : device_(std::move(device)) {}

    std::unique_ptr<SerialDevice> device_;
};

}  // namespace glassbench::serial
