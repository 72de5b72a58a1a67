// The Linux side of PresentPorts(), with the folders it reads as a parameter for the tests.
#pragma once

#include <string>
#include <vector>

#include "serial/PortIdentity.h"
#include "serial/PosixSerialSystem.h"

namespace glassbench::serial {

// Every tty in `paths.sys` with hardware behind it, as a device in `paths.dev`, with udev's
// links to it from `paths.dev`/serial.
std::vector<PresentPort> PresentPortsIn(const PosixPaths& paths);

// Whether sysfs tells that the tty `device` leads to has no hardware behind it: the 8250
// driver makes /dev/ttyS0-3 (and more) whether or not a UART answers at their addresses, and
// marks those without one as of type 0 (PORT_UNKNOWN).
bool HasNoHardware(const std::string& device, const PosixPaths& paths);

}  // namespace glassbench::serial
