#include "cli/CommandList.h"

#include <algorithm>
#include <ostream>

namespace glassbench::cli {

namespace {

using Run = int (*)(const OptionValues&, std::ostream&, std::ostream&);

struct CommandRun {
    std::string_view name;
    Run run;
};

// What runs each command of the table, in the table's order.
constexpr std::array<CommandRun, kCommands.size()> kRuns{{
    {"frame", RunFrame},
    {"preset", RunPreset},
    {"send", RunSend},
    {"play", RunPlay},
    {"ports", RunPorts},
    {"module", RunModule},
    {"decode", RunDecode},
    {"monitor", RunMonitor},
}};
static_assert(std::ranges::equal(kRuns, kCommands, {}, &CommandRun::name, &CommandSpec::name),
              "every command of the table needs its run, in the table's order");

}  // namespace

int RunCommandLine(Args args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        return UsageError(err, "no command given");
    }
    if (args[0] == "--help" || args[0] == "-h") {
        out << UsageText();
        return kExitOk;
    }
    if (args[0] == "--version") {
        out << "glassbench-cli " << GLASSBENCH_VERSION << "\n";
        return kExitOk;
    }
    const Args rest = args.subspan(1);
    if (args[0] == "__complete") {
        return RunComplete(rest, out, err);
    }
    const CommandSpec* command = FindCommandSpec(args[0]);
    if (command == nullptr) {
        return UsageError(err, "unknown command '" + args[0] + "'");
    }
    std::vector<Option> options = OptionsOf(*command);
    options.push_back(kHelpOption);
    std::string error;
    const auto parsed = ParseArgs(rest, options, error);
    if (!parsed) {
        return UsageError(err, error);
    }
    if (parsed->Has(kHelpOption.name)) {
        out << UsageText();
        return kExitOk;
    }
    const auto values = ReadCommandLine(*command, *parsed, error);
    if (!values) {
        return UsageError(err, error);
    }
    return kRuns[static_cast<std::size_t>(command - kCommands.data())].run(*values, out, err);
}

}  // namespace glassbench::cli
