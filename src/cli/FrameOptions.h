// The frame options that "frame" and "send" share, read into the protocol's plain fields.
// Their defaults are the window's start-up state: Clear Screen, X "0", Y "0", Data "0",
// Transparent "Yes", FontSize "8x16", "Uart LCDs".
#pragma once

#include <array>
#include <optional>
#include <string>

#include "cli/CliArgs.h"
#include "protocol/CommandFrame.h"

namespace glassbench::cli {

inline constexpr std::array<OptionSpec, 7> kFrameOptionSpecs{{
    {"command", true},
    {"x", true},
    {"y", true},
    {"data", true},
    {"transparent", true},
    {"font-size", true},
    {"lcd-type", true},
}};

// The fields named by the parsed options; nullopt with a reason in `error` on bad usage.
std::optional<protocol::CommandFields> ReadFrameOptions(const ParsedArgs& args, std::string& error);

// A command named by its list index, list text or section name.
std::optional<int> ResolveCommand(std::string_view name);

}  // namespace glassbench::cli
