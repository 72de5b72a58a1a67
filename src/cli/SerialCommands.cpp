// "send", "ports" and "module" come with the serial link.
#include <ostream>

#include "cli/Commands.h"

namespace glassbench::cli {

int RunSend(Args, std::ostream&, std::ostream& err) {
    return UsageError(err, "send is not built yet");
}
int RunPorts(Args, std::ostream&, std::ostream& err) {
    return UsageError(err, "ports is not built yet");
}
int RunModule(Args, std::ostream&, std::ostream& err) {
    return UsageError(err, "module is not built yet");
}

}  // namespace glassbench::cli
