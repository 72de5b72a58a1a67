// What running the virtual module takes from the system it runs on, one file per platform
// chosen by CMake (PosixModulePlatform.cpp, Win32ModulePlatform.cpp), and the two lines it
// runs on: the pseudo-terminal (ModuleOnPty.cpp, POSIX systems only) and TCP (ModuleOnTcp.cpp,
// through the serial library's socket seam on every system).
#pragma once

#include <iosfwd>

#include "module/VirtualModule.h"
#include "serial/StopRequest.h"

namespace glassbench::module {

// While one lives, the process waits as precisely as its system can (the wire timing of one
// byte at 115200 baud is 87 us), and a reader of the module's output that goes away does not
// end the module before it has cleaned up. Only one may live at a time.
class ModuleProcess {
  public:
    ModuleProcess();
    ~ModuleProcess();
    ModuleProcess(const ModuleProcess&) = delete;
    ModuleProcess& operator=(const ModuleProcess&) = delete;
};

// Each serves until `stop` is requested: 0, or 1 when it cannot be set up (the reason on
// `err`). The first line on `out` says where the module is.
int ServeOnPty(const ModuleOptions& options, const serial::StopRequest& stop, std::ostream& out,
               std::ostream& err);
int ServeOnTcp(const ModuleOptions& options, const serial::StopRequest& stop, std::ostream& out,
               std::ostream& err);

}  // namespace glassbench::module
