// Stop requests on Windows: the console's Ctrl+C, Ctrl+Break and close events, which Windows
// delivers on a thread of its own; the handler records the event and sets a manual-reset
// event that waits watch.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "net/Win32Time.h"
#include "serial/StopRequest.h"

namespace glassbench::serial {

using net::MillisecondsUntil;

namespace {

std::atomic<int> g_signal{0};
HANDLE g_event = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT: {
            int expected = 0;
            // SIGINT's number, as the POSIX build reports Ctrl+C.
            g_signal.compare_exchange_strong(expected, 2);
            ::SetEvent(g_event);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

StopRequest::StopRequest() {
    g_signal = 0;
    g_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopRequest::~StopRequest() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    if (g_event != nullptr) {
        ::CloseHandle(g_event);
        g_event = nullptr;
    }
}

bool StopRequest::Requested() const {
    return g_signal.load() != 0;
}

int StopRequest::Signal() const {
    return g_signal.load();
}

bool StopRequest::WaitUntil(TimePoint deadline) const {
    while (!Requested()) {
        if (Clock::now() >= deadline) {
            return true;
        }
        ::WaitForSingleObject(g_event, std::max<DWORD>(MillisecondsUntil(deadline), 1));
    }
    return false;
}

int StopRequest::PollFd() const {
    return -1;
}

void* StopRequest::WaitHandle() const {
    return g_event;
}

WaitToken StopRequest::Token() const {
    return reinterpret_cast<WaitToken>(g_event);
}

}  // namespace glassbench::serial
