// glassbench-cli: the tool's command line, over the same libraries as the window. It builds
// and checks frames without hardware, decodes captured traffic, watches a line, reads presets,
// talks to a module, plays scripts of exchanges, and runs the virtual display module.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandList.h"

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
    const Args rest(args.data() + 1, args.size() - 1);
    if (args[0] == "__complete") {
        return RunComplete(rest, std::cout, std::cerr);
    }
    if (const CliCommand* command = FindCliCommand(args[0])) {
        return command->run(rest, std::cout, std::cerr);
    }
    return UsageError(std::cerr, "unknown command '" + args[0] + "'");
}
