// The termios side of the POSIX serial services, kept apart so that the one function that
// builds the raw line settings can be checked against plain termios blocks.
//
// ApplyLineSettings is the only place where the link's settings become termios flags: it
// changes only what LineSettings names and leaves the rest of the block as the driver
// reported it. ReportLineSettings reads the same fields back, which is also how a write is
// verified (tcsetattr succeeds when any one of the changes took).
#pragma once

#include <termios.h>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

// The termios speed constant for a line speed, or B0 when termios has none for it.
speed_t SpeedConstant(int bitsPerSecond);
// The line speed of a termios speed constant, or 0 for one this code does not know.
int BitsPerSecond(speed_t speed);

// False (and `t` unchanged) when the settings cannot be expressed in termios.
bool ApplyLineSettings(termios& t, const LineSettings& settings);
LineSettings ReportLineSettings(const termios& t);

}  // namespace glassbench::serial
