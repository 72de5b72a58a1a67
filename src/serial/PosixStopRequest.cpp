// Stop signals on POSIX systems: the handler stores the signal and writes a byte to a
// self-pipe, the only async-signal-safe way to wake a poll loop; everything else happens
// outside the handler.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>

#include "net/PosixPoll.h"
#include "serial/StopRequest.h"

namespace glassbench::serial {

using net::TimeLeft;

namespace {

constexpr std::array<int, 3> kStopSignals{SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_signal{0};
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[kStopSignals.size()];

extern "C" void OnStopSignal(int signal) {
    const int saved = errno;
    int expected = 0;
    g_signal.compare_exchange_strong(expected, signal);
    const char byte = 's';
    [[maybe_unused]] const auto ignored = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

StopRequest::StopRequest() {
    g_signal = 0;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &action, &g_previous[i]);
    }
}

StopRequest::~StopRequest() {
    if (g_pipe[0] < 0) {
        return;
    }
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &g_previous[i], nullptr);
    }
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool StopRequest::Requested() const {
    return g_signal.load() != 0;
}

int StopRequest::Signal() const {
    return g_signal.load();
}

bool StopRequest::WaitUntil(TimePoint deadline) const {
    pollfd entry{g_pipe[0], POLLIN, 0};
    while (!Requested()) {
        if (Clock::now() >= deadline) {
            return true;
        }
        const timespec timeout = TimeLeft(deadline);
        // EINTR (the signal itself) and readiness both lead back to the check above.
        ::ppoll(&entry, g_pipe[0] >= 0 ? 1 : 0, &timeout, nullptr);
    }
    return false;
}

int StopRequest::PollFd() const {
    return g_pipe[0];
}

WaitToken StopRequest::Token() const {
    return g_pipe[0];
}

void* StopRequest::WaitHandle() const {
    return nullptr;
}

}  // namespace glassbench::serial
