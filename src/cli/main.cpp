// glassbench-cli: the tool's command line, over the same libraries as the window. It builds
// and checks frames without hardware, decodes captured traffic, watches a line, reads presets,
// talks to a module, plays scripts of exchanges, and runs the virtual display module.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandList.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return glassbench::cli::RunCommandLine(args, std::cout, std::cerr);
}
