// The dispatcher: from the words after the program's name to the command that runs. It finds
// the command's row of the command table (CommandLine.h), parses and reads its options and
// operands by it, reports bad usage (exit 2, "glassbench-cli: <reason>" and the usage), and
// hands the command its values.
#pragma once

#include <iosfwd>

#include "cli/Commands.h"

namespace glassbench::cli {

// Runs the command line `args` (without the program's name); returns the exit code.
int RunCommandLine(Args args, std::ostream& out, std::ostream& err);

}  // namespace glassbench::cli
