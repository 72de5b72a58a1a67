// The glassbench-cli commands. Each takes the arguments after its own name, writes to the
// given streams and returns the process exit code (2 for bad usage).
#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace glassbench::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;

using Args = std::span<const std::string>;

int RunFrame(Args args, std::ostream& out, std::ostream& err);
int RunPreset(Args args, std::ostream& out, std::ostream& err);
int RunSend(Args args, std::ostream& out, std::ostream& err);
int RunPorts(Args args, std::ostream& out, std::ostream& err);
int RunModule(Args args, std::ostream& out, std::ostream& err);

// Prints "glassbench-cli: <reason>" and the usage to `err`; returns kExitUsage.
int UsageError(std::ostream& err, const std::string& reason);

extern const char* const kUsage;

}  // namespace glassbench::cli
