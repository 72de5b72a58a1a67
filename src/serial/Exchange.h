// One exchange with the display module, as the window, glassbench-cli and the benchmark all
// do it, and the modem-line pulse that follows every successful open.
//
// An exchange first throws away whatever waits in the receive queue, so that a late or extra
// byte of an earlier exchange can never become the first byte of this reply; then it writes
// the frame whole, tells the caller what went out (the window shows the frame there, before
// the wait begins), and collects the module's five-byte reply into the frame buffer's reply
// area with the send action's 100000 tries (about one second, see SerialLink). A frame that
// did not go out whole gets no reply wait: no answer could belong to it.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "protocol/CommandFrame.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {

// Polls of the receive queue for the module's reply.
inline constexpr int kReplyTries = 100000;
// Both modem lines stay low this long after every successful open; the module takes it as a
// reset.
inline constexpr std::chrono::milliseconds kModemPulse{1000};

struct ExchangeResult {
    int frameLength = 0;  // bytes asked to go out
    int written = 0;      // bytes the system took
    // Why fewer than frameLength went out (SerialLink::LastSendError); clear otherwise.
    std::error_code sendError;
    bool replied = false;     // five bytes came within the window
    int received = 0;         // bytes collected, whole reply or not
    bool portFailed = false;  // the wait ended because the device failed or disappeared
    // Why it failed, in words, where the device knows more (SerialLink::LastReceiveDetail).
    std::string failure;
    bool stopped = false;  // a stop request ended the write or the wait

    bool Sent() const { return frameLength > 0 && written == frameLength; }
};

// Discards stale input, writes bytes 0 to frameLength - 1 of `frame`, calls `afterWrite` with
// what went out, then (if the whole frame went) collects the reply into bytes
// kReplyOffset to kReplyOffset + 4 of `frame`.
ExchangeResult Exchange(SerialLink& link, protocol::CommandFrame& frame, int frameLength,
                        const std::function<void(const ExchangeResult&)>& afterWrite = {});

// After a successful open: both lines low for kModemPulse, then DTR and RTS as given.
// `pause` waits (the window keeps painting meanwhile; the command line simply blocks).
void PulseModemLines(SerialLink& link, bool dtr, bool rts,
                     const std::function<void(std::chrono::milliseconds)>& pause);

// "Could not open port NAME.", which every caller shows when OpenPort fails.
std::string CouldNotOpenPortText(std::string_view deviceName);

// The nearest-rank percentile: the smallest value with at least `percent` % of the values
// at or below it; 0 for no values.
template <class T>
T Percentile(std::vector<T> values, int percent) {
    if (values.empty()) {
        return T{};
    }
    std::sort(values.begin(), values.end());
    const std::size_t rank = (values.size() * static_cast<std::size_t>(percent) + 99) / 100;
    return values[std::max<std::size_t>(rank, 1) - 1];
}

}  // namespace glassbench::serial
