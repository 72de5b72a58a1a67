// "module" needs pseudo-terminals, which this platform does not have.
#include <ostream>

#include "cli/Commands.h"

namespace glassbench::cli {

int RunModule(const OptionValues&, std::ostream&, std::ostream& err) {
    return UsageError(err, "module needs a system with pseudo-terminals");
}

}  // namespace glassbench::cli
