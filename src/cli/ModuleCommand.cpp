// "module": runs the virtual display module until a stop request.
#include <ostream>

#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/ModuleOptions.h"
#include "module/VirtualModule.h"

namespace glassbench::cli {

int RunModule(Args args, std::ostream& out, std::ostream& err) {
    int exitCode = kExitOk;
    const auto parsed = ParseCommand("module", args, kModuleOptionSpecs, 0, out, err, exitCode);
    if (!parsed) {
        return exitCode;
    }
    std::string error;
    const auto options = ReadModuleOptions(*parsed, error);
    if (!options) {
        return UsageError(err, error);
    }
    if (!options->listen && !module::HasPseudoTerminals()) {
        return UsageError(err,
                          "module runs only with --listen here (there are no pseudo-terminals): "
                          "--listen=rfc2217://127.0.0.1:PORT or --listen=socket://127.0.0.1:PORT");
    }
    return module::RunVirtualModule(*options, out, err);
}

}  // namespace glassbench::cli
