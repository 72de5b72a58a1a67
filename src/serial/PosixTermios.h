// The termios side of the POSIX serial services, kept apart so that the one function that
// builds the raw line settings can be checked against plain termios blocks.
//
// ApplyLineSettings is the only place where the link's settings become termios flags: it
// changes only what LineSettings names and leaves the rest of the block as the driver
// reported it. ReportLineSettings reads the same fields back, through the same raw-mode masks,
// which is also how a write is verified (tcsetattr succeeds when any one of the changes took).
// Speeds are the rows of the speed table; termios has a constant for each.
#pragma once

#include <termios.h>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

// The termios speed constant for a speed-table speed, or B0 for any other.
speed_t SpeedConstant(int bitsPerSecond);
// The speed-table speed of a termios constant, or 0 for one the table does not have.
int BitsPerSecond(speed_t speed);

// False (and `t` unchanged) when the settings cannot be expressed in termios.
bool ApplyLineSettings(termios& t, const LineSettings& settings);
LineSettings ReportLineSettings(const termios& t);

}  // namespace glassbench::serial
