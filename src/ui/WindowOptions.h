// The operator window's own command line: --help and --version, answered before any toolkit
// starts (so without a display). Every other argument is left to the toolkit, which takes
// options of its own (Qt's -platform, for one).
#pragma once

#include <iosfwd>
#include <optional>

namespace glassbench::ui {

// The exit code when `argv` asks for help or the version (printed to `out`), else nullopt.
std::optional<int> AnswerWindowOptions(int argc, char** argv, std::ostream& out);

}  // namespace glassbench::ui
