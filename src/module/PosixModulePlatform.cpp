// The module's process on POSIX systems: pseudo-terminals are there, a broken pipe must not
// kill it, and Linux is asked for timed waits that end on time.
#include <signal.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include "module/ModulePlatform.h"

namespace glassbench::module {

namespace {

struct sigaction g_previousPipe {};

}  // namespace

bool HasPseudoTerminals() {
    return true;
}

ModuleProcess::ModuleProcess() {
#if defined(__linux__)
    // Linux lets a timed wait run late by up to 50 us by default; the wire timing of one byte
    // at 115200 baud is 87 us, so ask for waits that end on time.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    // A reader of our output that goes away must not end the module before it has removed its
    // link: SIGPIPE is ignored while the module runs.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &g_previousPipe);
}

ModuleProcess::~ModuleProcess() {
    ::sigaction(SIGPIPE, &g_previousPipe, nullptr);
}

}  // namespace glassbench::module
