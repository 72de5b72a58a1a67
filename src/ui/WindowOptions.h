// The operator window's own command line: --help and --version, answered before any toolkit
// starts (so without a display), and port names (a device, rfc2217://HOST:PORT,
// socket://HOST:PORT), which take the first positions of the Port list. Options are left to the
// toolkit, which takes some of its own (Qt's -platform, for one).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace glassbench::ui {

// The exit code when `argv` asks for help or the version (printed to `out`), else nullopt.
std::optional<int> AnswerWindowOptions(int argc, char** argv, std::ostream& out);

// The port names on the command line: every argument after the program's name that is no
// option, in order.
std::vector<std::string> WindowPortNames(int argc, char** argv);

}  // namespace glassbench::ui
