#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "cli/StandardInput.h"

namespace glassbench::cli {

std::size_t ReadStandardInput(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, size);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A descriptor another program made non-blocking (a shared terminal): wait for input.
            // A filter waits for its input however long it takes, so there is no deadline, and
            // Ctrl+C ends it as it ends any filter.
            pollfd entry{STDIN_FILENO, POLLIN, 0};
            if (::poll(&entry, 1, -1) < 0 && errno != EINTR) {
                return 0;
            }
        } else if (errno != EINTR) {
            return 0;
        }
    }
}

}  // namespace glassbench::cli
