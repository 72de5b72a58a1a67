// One open serial device on Linux and other POSIX systems, driven with termios, ioctl and
// poll. The descriptor is non-blocking and stays so: writes take what the driver has room
// for, reads take what is queued, and only Wait sleeps, in ppoll, against a monotonic
// deadline. PosixSerialSystem.cpp opens the device and hands it over already exclusive.
#pragma once

#include <memory>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

// Takes ownership of `fd`, which holds the device's flock and its TIOCEXCL; destroying the
// device gives up both and closes it. Its waits end at a request of `stop` too.
std::unique_ptr<SerialDevice> MakePosixSerialDevice(int fd, StopToken stop = std::nullopt);

}  // namespace glassbench::serial
