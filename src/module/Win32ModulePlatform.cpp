// The module's process on Windows: no pseudo-terminals, so the module runs on TCP only, and
// the system's timer is asked for its finest steps while the module runs: Windows ends timed
// waits on its timer's ticks, 15.6 ms apart unless a program asks for 1 ms.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <ostream>

#include "module/ModulePlatform.h"

namespace glassbench::module {

bool HasPseudoTerminals() {
    return false;
}

ModuleProcess::ModuleProcess() {
    ::timeBeginPeriod(1);
}

ModuleProcess::~ModuleProcess() {
    ::timeEndPeriod(1);
}

int ServeOnPty(const ModuleOptions&, const serial::StopRequest&, std::ostream&, std::ostream& err) {
    err << "glassbench-cli module: Windows has no pseudo-terminals; serve the module with "
           "--listen\n";
    return 1;
}

}  // namespace glassbench::module
