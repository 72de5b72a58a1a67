#include "module/VirtualModule.h"

#include <ostream>

#include "module/ModulePlatform.h"

namespace glassbench::module {

int RunVirtualModule(const ModuleOptions& options, std::ostream& out, std::ostream& err) {
    const ModuleProcess process;
    const serial::StopRequest stop;
    if (stop.PollFd() < 0 && stop.WaitHandle() == nullptr) {
        err << "glassbench-cli module: cannot set up signal handling\n";
        return 1;
    }
    const int status =
        options.listen ? ServeOnTcp(options, stop, out, err) : ServeOnPty(options, stop, out, err);
    if (status == 0) {
        out << "module: stopped" << std::endl;
    }
    return status;
}

}  // namespace glassbench::module
