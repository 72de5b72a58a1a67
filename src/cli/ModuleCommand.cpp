// "module": runs the virtual display module until SIGINT or SIGTERM.
#include <ostream>

#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "module/VirtualModule.h"

namespace glassbench::cli {

int RunModule(Args args, std::ostream& out, std::ostream& err) {
    const OptionSpec specs[] = {
        {"link", true},         {"reply-delay-ms", true}, {"silent", false},
        {"reply-length", true}, {"wire-timing", false},
    };
    int exitCode = kExitOk;
    const auto parsed = ParseCommand("module", args, specs, 0, out, err, exitCode);
    if (!parsed) {
        return exitCode;
    }
    module::ModuleOptions options;
    if (const auto* link = parsed->Value("link")) {
        if (link->empty()) {
            return UsageError(err, "--link needs a path");
        }
        options.linkPath = *link;
    }
    struct Bounded {
        const char* name;
        int* target;
        int max;
    };
    const Bounded numbers[] = {
        {"reply-delay-ms", &options.replyDelayMs, 600000},
        {"reply-length", &options.replyLength, 255},
    };
    for (const auto& number : numbers) {
        if (const auto* text = parsed->Value(number.name)) {
            const auto value = ParseInt(*text);
            if (!value || *value < 0 || *value > number.max) {
                return UsageError(err, std::string("--") + number.name + " '" + *text +
                                           "' is not 0 to " + std::to_string(number.max));
            }
            *number.target = *value;
        }
    }
    options.silent = parsed->Has("silent");
    options.wireTiming = parsed->Has("wire-timing");
    return module::RunVirtualModule(options, out, err);
}

}  // namespace glassbench::cli
