// glassbench-cli: the tool's command line, over the same libraries as the window. It builds
// and checks frames without hardware, reads presets, talks to a module, and runs the virtual
// display module.
#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace glassbench::cli {

const char* const kUsage =
    "usage: glassbench-cli COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  frame  [FRAME OPTIONS]            print the frame the window would send\n"
    "  preset COMMAND                    print the preset section Scom.ini gives a command\n"
    "  send   --port=DEVICE|INDEX [--speed=BAUD] [--no-pulse] [--repeat=N] [FRAME OPTIONS]\n"
    "                                    send frames to a module and show its replies\n"
    "  ports                             list the 30 port positions\n"
    "  module [--link PATH] [--reply-delay-ms N] [--silent] [--reply-length N] [--wire-timing]\n"
    "                                    run the virtual display module on a pseudo-terminal\n"
    "\n"
    "frame options:\n"
    "  --command=C      list index 0-19, list text (\"Draw Point\") or section (\"DrawPoint\")\n"
    "  --x=TEXT --y=TEXT --data=TEXT     field texts, taken verbatim\n"
    "  --transparent=I --font-size=I --lcd-type=I   list indices, -1 for no selection\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

int UsageError(std::ostream& err, const std::string& reason) {
    err << "glassbench-cli: " << reason << "\n" << kUsage;
    return kExitUsage;
}

}  // namespace glassbench::cli

int main(int argc, char** argv) {
    using namespace glassbench::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return UsageError(std::cerr, "no command given");
    }
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return kExitOk;
    }
    if (args[0] == "--version") {
        std::cout << "glassbench-cli " << GLASSBENCH_VERSION << "\n";
        return kExitOk;
    }
    struct Command {
        const char* name;
        int (*run)(Args, std::ostream&, std::ostream&);
    };
    static constexpr std::array<Command, 5> kCommands{{
        {"frame", RunFrame},
        {"preset", RunPreset},
        {"send", RunSend},
        {"ports", RunPorts},
        {"module", RunModule},
    }};
    for (const auto& command : kCommands) {
        if (args[0] == command.name) {
            const Args rest(args.data() + 1, args.size() - 1);
            return command.run(rest, std::cout, std::cerr);
        }
    }
    return UsageError(std::cerr, "unknown command '" + args[0] + "'");
}
