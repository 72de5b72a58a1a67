// The glassbench-cli commands. Each takes the arguments after its own name, writes to the
// given streams and returns the process exit code (2 for bad usage).
#pragma once

#include <algorithm>
#include <array>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/CliArgs.h"
#include "cli/FrameOptions.h"

namespace glassbench::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;

using Args = std::span<const std::string>;

int RunFrame(Args args, std::ostream& out, std::ostream& err);
int RunPreset(Args args, std::ostream& out, std::ostream& err);
int RunSend(Args args, std::ostream& out, std::ostream& err);
int RunPorts(Args args, std::ostream& out, std::ostream& err);
int RunModule(Args args, std::ostream& out, std::ostream& err);
int RunDecode(Args args, std::ostream& out, std::ostream& err);
int RunMonitor(Args args, std::ostream& out, std::ostream& err);
int RunPlay(Args args, std::ostream& out, std::ostream& err);
// Words for shell completion (data/completion/glassbench-cli): not in the usage.
int RunComplete(Args args, std::ostream& out, std::ostream& err);

// The options of "send" and "play" that choose and open the port (PortSession.h).
inline constexpr std::array<OptionSpec, 4> kPortOptionSpecs{{
    {"port", true},
    {"speed", true},
    {"no-pulse", false},
    {"interval", true},
}};

// Option tables laid end to end.
template <std::size_t... N>
constexpr auto JoinOptionSpecs(const std::array<OptionSpec, N>&... tables) {
    std::array<OptionSpec, (N + ...)> all{};
    auto next = all.begin();
    ((next = std::copy(tables.begin(), tables.end(), next)), ...);
    return all;
}

// "send" takes the frame options, the port options and --repeat.
inline constexpr auto kSendOptionSpecs = JoinOptionSpecs(
    kFrameOptionSpecs, kPortOptionSpecs, std::array<OptionSpec, 1>{{{"repeat", true}}});

inline constexpr std::array<OptionSpec, 1> kDecodeOptionSpecs{{{"json", false}}};

inline constexpr std::array<OptionSpec, 6> kMonitorOptionSpecs{{
    {"port", true},
    {"replies", true},
    {"speed", true},
    {"json", false},
    {"count", true},
    {"seconds", true},
}};

// "play" takes the port options and --junit; its script lines take the frame options.
inline constexpr auto kPlayOptionSpecs =
    JoinOptionSpecs(kPortOptionSpecs, std::array<OptionSpec, 1>{{{"junit", true}}});

// Prints "glassbench-cli: <reason>" and the usage to `err`; returns kExitUsage.
int UsageError(std::ostream& err, const std::string& reason);

extern const char* const kUsage;

// The start every command shares: parses `args` against `options` (--help is always known)
// and allows at most `maxPositional` positional arguments. Returns nullopt when the command
// has nothing left to do, with its exit code in `exitCode`: bad usage was reported, or the
// usage was printed for --help.
std::optional<ParsedArgs> ParseCommand(std::string_view name, Args args,
                                       std::span<const OptionSpec> options,
                                       std::size_t maxPositional, std::ostream& out,
                                       std::ostream& err, int& exitCode);

}  // namespace glassbench::cli
