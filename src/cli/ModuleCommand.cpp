// "module": runs the virtual display module until a stop request.
#include <ostream>

#include "cli/Commands.h"
#include "module/VirtualModule.h"

namespace glassbench::cli {

int RunModule(const OptionValues& values, std::ostream& out, std::ostream& err) {
    module::ModuleOptions options;
    options.linkPath = values.Get("link", options.linkPath);
    if (const auto* listen = values.Find<serial::NetworkAddress>("listen")) {
        options.listen = *listen;
    }
    options.replyDelayMs = values.Get("reply-delay-ms", options.replyDelayMs);
    options.silent = values.Has("silent");
    options.replyLength = values.Get("reply-length", options.replyLength);
    options.wireTiming = values.Has("wire-timing");
    if (const auto* seed = values.Find<std::uint64_t>("faults")) {
        options.faultSeed = *seed;
    }
    options.faultMix = values.Get("fault-mix", options.faultMix);
    if (!options.listen && !module::HasPseudoTerminals()) {
        return UsageError(err,
                          "module runs only with --listen here (there are no pseudo-terminals): "
                          "--listen=rfc2217://127.0.0.1:PORT or --listen=socket://127.0.0.1:PORT");
    }
    return module::RunVirtualModule(options, out, err);
}

}  // namespace glassbench::cli
