// The glassbench-cli commands. The dispatcher (CommandList.h) has read each command's options
// and operands by its row of the command table (CommandLine.h); a command takes their values,
// writes to the given streams and returns the process exit code.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

#include "cli/CommandLine.h"
#include "cli/Options.h"

namespace glassbench::cli {

int RunFrame(const OptionValues& values, std::ostream& out, std::ostream& err);
int RunPreset(const OptionValues& values, std::ostream& out, std::ostream& err);
int RunSend(const OptionValues& values, std::ostream& out, std::ostream& err);
int RunPorts(const OptionValues& values, std::ostream& out, std::ostream& err);
int RunModule(const OptionValues& values, std::ostream& out, std::ostream& err);
int RunDecode(const OptionValues& values, std::ostream& out, std::ostream& err);
int RunMonitor(const OptionValues& values, std::ostream& out, std::ostream& err);
int RunPlay(const OptionValues& values, std::ostream& out, std::ostream& err);

using Args = std::span<const std::string>;

// Words for shell completion (data/completion/glassbench-cli): not in the usage.
int RunComplete(Args args, std::ostream& out, std::ostream& err);

}  // namespace glassbench::cli
