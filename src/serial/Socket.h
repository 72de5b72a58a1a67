// The one seam to the system's TCP sockets: POSIX sockets in PosixSocket.cpp, Winsock in
// Win32Socket.cpp, chosen by CMake.
//
// A Socket owns one non-blocking TCP socket. Sends and receives never wait; Wait waits for
// one socket against a deadline on the monotonic clock, and WaitToken hands the socket to a
// wait over several things (WaitForAny, SerialSystem.h): the descriptor itself on POSIX
// systems, an event that Winsock sets for it on Windows. Connect tries each address a name
// gives in turn within one deadline; names that are no literal address are looked up on a
// thread of their own, because the system's resolver cannot be given a time limit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

class Socket {
  public:
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // A connected socket with TCP_NODELAY on, or null with the reason in `error`.
    static std::unique_ptr<Socket> Connect(const std::string& host, std::uint16_t port,
                                           TimePoint deadline, std::error_code& error);
    // A socket listening on exactly that address (a name takes its first address), or null.
    static std::unique_ptr<Socket> Listen(const std::string& host, std::uint16_t port,
                                          std::error_code& error);
    // A waiting connection, or null: with no error when none is waiting.
    std::unique_ptr<Socket> Accept(std::error_code& error);

    // Done with the count taken, WouldBlock, or Gone (reset or closed by the peer).
    IoResult Send(const std::uint8_t* bytes, int count);
    // Done with the count read, WouldBlock, or Gone (closed by the peer: its end of file).
    IoResult Receive(std::uint8_t* buffer, int count);
    // Until the socket is readable (or writable), or the deadline.
    WaitResult Wait(WaitFor what, TimePoint deadline);
    // What WaitForAny watches for this socket's input (or, listening, a connection).
    WaitToken InputToken();
    // What WaitForAny watches, as a writable token, for room to send again after a send
    // that would have blocked; asked for again before each wait until the next Send. It may
    // be the input token itself (Windows), so the wait may end for either.
    WaitToken OutputToken();

    // The port a listening socket took (the one asked for, or the system's choice for 0).
    std::uint16_t LocalPort() const;
    std::error_code LastError() const { return error_; }

    // The platform's own part, opaque here.
    struct Native;

  private:
    explicit Socket(std::unique_ptr<Native> native);

    // What each platform file provides for Connect and Listen (Socket.cpp), which do the rest:
    // whether the system's sockets can be used at all, what a look-up that found nothing
    // means, and one connection or listener on one address.
    static bool SystemReady(std::error_code& error);
    static std::error_code LookupError(const struct AddressLookup& lookup);
    static std::unique_ptr<Socket> ConnectTo(const struct SocketAddress& address,
                                             TimePoint deadline, std::error_code& error);
    static std::unique_ptr<Socket> ListenOn(const struct SocketAddress& address,
                                            std::error_code& error);

    std::unique_ptr<Native> native_;
    std::error_code error_;
};

}  // namespace glassbench::serial
