// "module": runs the virtual display module until SIGINT or SIGTERM.
#include <ostream>

#include "cli/Commands.h"
#include "module/VirtualModule.h"

namespace glassbench::cli {

int RunModule(const OptionValues& values, std::ostream& out, std::ostream& err) {
    module::ModuleOptions options;
    options.linkPath = values.Get("link", options.linkPath);
    options.replyDelayMs = values.Get("reply-delay-ms", options.replyDelayMs);
    options.silent = values.Has("silent");
    options.replyLength = values.Get("reply-length", options.replyLength);
    options.wireTiming = values.Has("wire-timing");
    if (const auto* seed = values.Find<std::uint64_t>("faults")) {
        options.faultSeed = *seed;
    }
    options.faultMix = values.Get("fault-mix", options.faultMix);
    return module::RunVirtualModule(options, out, err);
}

}  // namespace glassbench::cli
