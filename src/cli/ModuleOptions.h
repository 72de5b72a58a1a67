// The options of "module", read into the virtual module's settings.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "cli/CliArgs.h"
#include "module/VirtualModule.h"

namespace glassbench::cli {

inline constexpr std::array<OptionSpec, 8> kModuleOptionSpecs{{
    {"link", true},
    {"listen", true},
    {"reply-delay-ms", true},
    {"silent", false},
    {"reply-length", true},
    {"wire-timing", false},
    {"faults", true},
    {"fault-mix", true},
}};

// The settings the parsed options give; nullopt with a reason in `error` on bad usage.
std::optional<module::ModuleOptions> ReadModuleOptions(const ParsedArgs& args, std::string& error);

}  // namespace glassbench::cli
