// The glassbench-cli commands by name, with the options each takes: what main() dispatches
// on, and what shell completion offers.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "cli/Commands.h"

namespace glassbench::cli {

struct CliCommand {
    std::string_view name;
    int (*run)(Args, std::ostream&, std::ostream&);
    std::span<const OptionSpec> options;
};

extern const std::array<CliCommand, 8> kCliCommands;

// The command of that name, or nullptr.
const CliCommand* FindCliCommand(std::string_view name);

}  // namespace glassbench::cli
