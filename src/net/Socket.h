// The one seam to the system's TCP sockets: POSIX sockets in PosixSocket.cpp, Winsock in
// Win32Socket.cpp, chosen by CMake.
//
// A Socket owns one non-blocking TCP socket and is a ByteStream: sends and receives never
// wait; Wait waits for the socket against a deadline on the monotonic clock, or until the stop
// request the socket was given, and the tokens hand it to a wait over several things
// (WaitForAny): the descriptor itself on POSIX systems, an event that Winsock sets for it on
// Windows. Connect tries each address a name gives in turn within one deadline; names that
// are no literal address are looked up on a thread of their own, because the system's
// resolver cannot be given a time limit. A stop request ends the look-up and the connect.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "net/ByteStream.h"

namespace glassbench::net {

// The send buffer asked for a connection the tool makes, in bytes: the system's least (Linux
// doubles what it is asked and keeps 4.5 KiB at least).
inline constexpr int kSendBuffer = 2048;

class Socket final : public ByteStream {
  public:
    ~Socket() override;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // A connected socket with TCP_NODELAY on, or null with the reason in `error`
    // (operation_canceled after a stop request).
    static std::unique_ptr<Socket> Connect(const std::string& host, std::uint16_t port,
                                           TimePoint deadline, StopToken stop,
                                           std::error_code& error);
    // A socket listening on exactly that address (a name takes its first address), or null.
    static std::unique_ptr<Socket> Listen(const std::string& host, std::uint16_t port,
                                          std::error_code& error);
    // A waiting connection, or null: with no error when none is waiting.
    std::unique_ptr<Socket> Accept(std::error_code& error);

    IoResult Send(std::span<const std::uint8_t> bytes) override;
    IoResult Receive(std::span<std::uint8_t> buffer) override;
    using ByteStream::Wait;
    WaitResult Wait(bool input, bool output, TimePoint deadline) override;
    // Also, listening, a connection waiting.
    WaitToken InputToken() override;
    WaitToken OutputToken() override;
    TimePoint Now() override { return Clock::now(); }
    std::error_code LastError() const override { return error_; }

    // The port a listening socket took (the one asked for, or the system's choice for 0).
    std::uint16_t LocalPort() const;

    // The platform's own part, opaque here.
    struct Native;

  private:
    Socket(std::unique_ptr<Native> native, StopToken stop);

    // What each platform file provides for Connect and Listen (Socket.cpp), which do the rest:
    // whether the system's sockets can be used at all, what a look-up that found nothing
    // means, and one connection or listener on one address.
    static bool SystemReady(std::error_code& error);
    static std::error_code LookupError(const struct AddressLookup& lookup);
    static std::unique_ptr<Socket> ConnectTo(const struct SocketAddress& address,
                                             TimePoint deadline, StopToken stop,
                                             std::error_code& error);
    static std::unique_ptr<Socket> ListenOn(const struct SocketAddress& address,
                                            std::error_code& error);

    std::unique_ptr<Native> native_;
    StopToken stop_;
    std::error_code error_;
};

}  // namespace glassbench::net
