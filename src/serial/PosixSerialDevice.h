// One open serial device on Linux and other POSIX systems, driven with termios, ioctl and
// poll. The descriptor is non-blocking and stays so: writes take what the driver has room
// for, reads take what is queued, and only Wait sleeps, in ppoll, against a monotonic
// deadline. PosixSerialSystem.cpp opens the device and hands it over already exclusive.
//
// While it is open the device is in low-latency mode where the driver takes it
// (ASYNC_LOW_LATENCY with TIOCSSERIAL): ftdi_sio then sets the FTDI chip's latency timer to
// 1 ms, so a five-byte reply is handed on at once rather than after the chip's 16 ms. The flags
// it had come back at close. A driver without serial settings (a pseudo-terminal) refuses,
// which is no failure.
#pragma once

#include <memory>

#include "serial/PosixPortLocks.h"
#include "serial/SerialSystem.h"

namespace glassbench::serial {

// Takes ownership of `fd`, which holds the device's flock and its TIOCEXCL, and of its lock
// file; destroying the device gives up all three, after the flags it had, and closes it. Its
// waits end at a request of `stop` too.
std::unique_ptr<SerialDevice> MakePosixSerialDevice(int fd, UucpLock lock = {},
                                                    StopToken stop = std::nullopt);

}  // namespace glassbench::serial
