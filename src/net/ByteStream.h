// The seam between the Telnet session and a connection's bytes: a TCP socket in the programs
// (Socket.h), a scripted stream in the tests, which sets every byte a server sends, every byte
// it takes and the moment of each, on a clock of its own.
//
// Sends and receives never wait. Wait is the only place that does, against a deadline on the
// stream's own clock (Now), and it ends at a stop request too when the stream was given one.
#pragma once

#include <cstdint>
#include <span>
#include <system_error>

#include "net/Io.h"

namespace glassbench::net {

class ByteStream {
  public:
    virtual ~ByteStream() = default;

    // Done with the count taken (as many as there was room for), WouldBlock when there was
    // none, Gone when the connection has been reset, or Failed.
    virtual IoResult Send(std::span<const std::uint8_t> bytes) = 0;
    // Done with the count read, WouldBlock when nothing is there, Gone at the peer's end of
    // file (LastError: Error::ClosedByPeer) or a reset, or Failed.
    virtual IoResult Receive(std::span<std::uint8_t> buffer) = 0;
    // Until input is there or room to send (whichever of them is asked for), the deadline, or
    // a stop request. Ready also when the connection has ended: the call that follows finds
    // out.
    virtual WaitResult Wait(bool input, bool output, TimePoint deadline) = 0;
    WaitResult Wait(WaitFor what, TimePoint deadline) {
        return Wait(what == WaitFor::Input, what == WaitFor::Output, deadline);
    }
    // What WaitForAny watches for this stream's input.
    virtual WaitToken InputToken() = 0;
    // What WaitForAny watches, as a writable token, for room to send again after a send that
    // would have blocked; asked for again before each wait until the next Send. It may be the
    // input token itself (Windows), so the wait may end for either.
    virtual WaitToken OutputToken() = 0;
    // The clock every deadline given to Wait is on.
    virtual TimePoint Now() = 0;
    // The reason for the last operation that failed.
    virtual std::error_code LastError() const = 0;
};

}  // namespace glassbench::net
