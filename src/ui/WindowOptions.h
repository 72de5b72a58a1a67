// The operator window's own command line: --help and --version, answered before any toolkit
// starts (so without a display). Every other argument is left to the toolkit, which takes
// options of its own (Qt's -platform, for one). And its exit status, which says whether a stop
// request ended it.
#pragma once

#include <iosfwd>
#include <optional>

#include "serial/StopRequest.h"

namespace glassbench::ui {

// The exit code when `argv` asks for help or the version (printed to `out`), else nullopt.
std::optional<int> AnswerWindowOptions(int argc, char** argv, std::ostream& out);

// 0 when the operator closed the window; after a stop request, 128 and the signal's number, as
// shells report a program a signal ended and as the command line's send and play exit.
inline int WindowExitCode(const serial::StopRequest& stop) {
    return stop.Requested() ? 128 + stop.Signal() : 0;
}

}  // namespace glassbench::ui
