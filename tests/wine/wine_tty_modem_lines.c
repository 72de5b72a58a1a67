// Preloaded into Wine by scripts/wine-run.sh for the tests; never shipped.
//
// Wine 8 waits for a serial event (WaitCommEvent) in a worker thread that first asks the
// device for its modem lines with TIOCMGET, to see them change. A pseudo-terminal has no
// modem lines and refuses the request with ENOTTY, and Wine then ends the wait as failed: a
// Windows program that waits for a reply from the virtual module (a pty) gives up at once
// instead of receiving it. Here that one refusal is answered as a real port with a peer
// attached would: DTR, RTS, CTS, DSR and carrier high. Every other request, and TIOCMGET on
// anything but a terminal that refused it, goes to the C library unchanged.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

typedef int (*IoctlFunction)(int, unsigned long, ...);

static IoctlFunction next;

// Resolved once, when the library is loaded and before Wine starts any thread.
__attribute__((constructor)) static void FindNext(void) {
    // ISO C has no cast from an object pointer to a function pointer; dlsym's result is one.
    void* symbol = dlsym(RTLD_NEXT, "ioctl");
    memcpy(&next, &symbol, sizeof next);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (next == NULL) {
        FindNext();
        if (next == NULL) {
            errno = ENOSYS;
            return -1;
        }
    }
    const int result = next(fd, request, argument);
    if (result == 0 || request != TIOCMGET || errno != ENOTTY || argument == NULL) {
        return result;
    }
    const int refusal = errno;
    struct stat info;
    struct termios settings;
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) || tcgetattr(fd, &settings) != 0) {
        errno = refusal;
        return result;
    }
    *(int*)argument = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
    return 0;
}
