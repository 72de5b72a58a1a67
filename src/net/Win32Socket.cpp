// TCP sockets on Windows: Winsock 2, each socket tied by WSAEventSelect to an event of its own,
// which Winsock sets when something happens on it (data, a connection, room to send, the
// peer's close). Waits are waits on that event, so a socket joins the waits over serial
// devices and the stop request (WaitForAny) like any other handle. WSAEnumNetworkEvents
// resets the event and tells what happened once; `seen` keeps it until the call that uses it
// up (a receive, an accept, a send that would block), which is when Winsock records it again
// if it still holds. So a socket is ready as long as poll would say so on POSIX systems, however
// many waits look at it in between, and the one event can stand for both ways at once. A wait
// watches the stop request's event too, when the socket was given one. Winsock is started
// once, on first use.
#ifndef NOMINMAX
#define NOMINMAX
#endif
// winsock2.h before the other Winsock headers, which need it.
#include <winsock2.h>

#include <mstcpip.h>
#include <ws2tcpip.h>

#include "net/Errors.h"
#include "net/Socket.h"
#include "net/SocketAddresses.h"
#include "net/UniqueHandle.h"
#include "net/Win32Time.h"

namespace glassbench::net {

namespace {

void CloseSocket(SOCKET s) {
    ::closesocket(s);
}
void CloseEvent(WSAEVENT event) {
    ::WSACloseEvent(event);
}
using UniqueSocket = UniqueHandle<SOCKET, &CloseSocket, INVALID_SOCKET>;
using UniqueEvent = UniqueHandle<WSAEVENT, &CloseEvent>;

std::error_code WsaError(int code) {
    return {code, std::system_category()};
}

std::error_code LastWsaError() {
    return WsaError(::WSAGetLastError());
}

bool Started() {
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

constexpr long kInputEvents = FD_READ | FD_ACCEPT | FD_CLOSE;
constexpr long kOutputEvents = FD_WRITE | FD_CLOSE;
// A connect's end, which is told once and only a connect waits for.
constexpr long kAllEvents = kInputEvents | kOutputEvents | FD_CONNECT;

}  // namespace

struct Socket::Native {
    UniqueSocket socket;
    UniqueEvent event;
    long seen = 0;  // network events told by WSAEnumNetworkEvents and not yet used up
    // Whether a wait over several things looks for room to send too (OutputToken), until the
    // next send.
    bool roomWanted = false;
    int connectError = 0;

    // Ties the socket to its event; the socket becomes non-blocking.
    bool Tie(std::error_code& error) {
        event.Reset(::WSACreateEvent());
        if (!event || ::WSAEventSelect(socket.Get(), event.Get(), kAllEvents) != 0) {
            error = LastWsaError();
            return false;
        }
        return true;
    }

    // What has happened since last asked, added to `seen`; the event is reset.
    void Gather() {
        WSANETWORKEVENTS events{};
        if (::WSAEnumNetworkEvents(socket.Get(), event.Get(), &events) == 0) {
            seen |= events.lNetworkEvents;
            if ((events.lNetworkEvents & FD_CONNECT) != 0) {
                connectError = events.iErrorCode[FD_CONNECT_BIT];
            }
        }
    }

    // The event, for a wait over several things. What was seen already would not set it again,
    // so a wait on it would not end: it is set here. One event stands for both ways, and each
    // look resets it, so every look asks for both ways that are wanted, whichever comes first.
    WaitToken Token() {
        Gather();
        if ((seen & (kInputEvents | (roomWanted ? kOutputEvents : 0))) != 0) {
            ::WSASetEvent(event.Get());
        }
        return reinterpret_cast<WaitToken>(event.Get());
    }

    // Until one of `wanted` has happened, the deadline, or a stop request. The peer's close
    // stays seen: every later wait ends at once.
    WaitResult WaitFor(long wanted, TimePoint deadline, StopToken stop) {
        const HANDLE handles[2] = {event.Get(), stop ? reinterpret_cast<HANDLE>(*stop) : nullptr};
        for (;;) {
            Gather();
            if ((seen & wanted) != 0) {
                return WaitResult::Ready;
            }
            const DWORD rc =
                ::WaitForMultipleObjects(stop ? 2 : 1, handles, FALSE, MillisecondsUntil(deadline));
            if (rc == WAIT_OBJECT_0 + 1) {
                return WaitResult::Stopped;
            }
            if (rc == WAIT_TIMEOUT && Clock::now() >= deadline) {
                return WaitResult::TimedOut;
            }
            if (rc == WAIT_FAILED) {
                return WaitResult::Gone;
            }
        }
    }
};

namespace {

void NoDelay(SOCKET s) {
    // Frames are small and each waits for its reply: Nagle's delay would hold every one.
    BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
    // Acknowledge every segment at once, not up to 200 ms later: a server with Nagle's
    // algorithm on (ser2net) holds its next small write, a reply, until the last one is
    // acknowledged. Windows 10 and later know the request; where it is unknown (older
    // Windows, Wine) the default stays.
    DWORD frequency = 1;
    DWORD ignored = 0;
    ::WSAIoctl(s, SIO_TCP_SET_ACK_FREQUENCY, &frequency, sizeof(frequency), nullptr, 0, &ignored,
               nullptr, nullptr);
}

std::unique_ptr<Socket::Native> ConnectOne(const SocketAddress& address, TimePoint deadline,
                                           StopToken stop, std::error_code& error) {
    auto native = std::make_unique<Socket::Native>();
    native->socket.Reset(::socket(address.storage.ss_family, SOCK_STREAM, IPPROTO_TCP));
    if (!native->socket) {
        error = LastWsaError();
        return nullptr;
    }
    if (!native->Tie(error)) {
        return nullptr;
    }
    if (::connect(native->socket.Get(), address.Get(), address.length) != 0) {
        if (::WSAGetLastError() != WSAEWOULDBLOCK) {
            error = LastWsaError();
            return nullptr;
        }
        // The deadline is the tool's own, and says so in the same words on every system.
        switch (native->WaitFor(FD_CONNECT, deadline, stop)) {
            case WaitResult::Ready:
                break;
            case WaitResult::Stopped:
                error = std::make_error_code(std::errc::operation_canceled);
                return nullptr;
            case WaitResult::TimedOut:
                error = std::make_error_code(std::errc::timed_out);
                return nullptr;
            case WaitResult::Gone:
                error = LastWsaError();
                return nullptr;
        }
        if (native->connectError != 0) {
            error = WsaError(native->connectError);
            return nullptr;
        }
    }
    NoDelay(native->socket.Get());
    // A serial driver's few kilobytes, as on Linux (PosixSocket.cpp says why).
    int size = kSendBuffer;
    ::setsockopt(native->socket.Get(), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size),
                 sizeof(size));
    return native;
}

}  // namespace

Socket::Socket(std::unique_ptr<Native> native, StopToken stop)
    : native_(std::move(native)), stop_(stop) {}
Socket::~Socket() = default;

bool Socket::SystemReady(std::error_code& error) {
    if (!Started()) {
        error = LastWsaError();
        return false;
    }
    return true;
}

std::error_code Socket::LookupError(const AddressLookup& lookup) {
    if (lookup.timedOut) {
        return std::make_error_code(std::errc::timed_out);
    }
    if (lookup.addresses.empty()) {
        return WsaError(lookup.failure != 0 ? lookup.failure : WSAHOST_NOT_FOUND);
    }
    return {};
}

std::unique_ptr<Socket> Socket::ConnectTo(const SocketAddress& address, TimePoint deadline,
                                          StopToken stop, std::error_code& error) {
    auto native = ConnectOne(address, deadline, stop, error);
    return native ? std::unique_ptr<Socket>(new Socket(std::move(native), stop)) : nullptr;
}

std::unique_ptr<Socket> Socket::ListenOn(const SocketAddress& address, std::error_code& error) {
    auto native = std::make_unique<Native>();
    native->socket.Reset(::socket(address.storage.ss_family, SOCK_STREAM, IPPROTO_TCP));
    // Windows lets a second program bind a port that is taken unless the first says no.
    BOOL exclusive = TRUE;
    if (!native->socket ||
        ::setsockopt(native->socket.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                     reinterpret_cast<const char*>(&exclusive), sizeof(exclusive)) != 0 ||
        ::bind(native->socket.Get(), address.Get(), address.length) != 0 ||
        ::listen(native->socket.Get(), 4) != 0) {
        error = LastWsaError();
        return nullptr;
    }
    if (!native->Tie(error)) {
        return nullptr;
    }
    return std::unique_ptr<Socket>(new Socket(std::move(native), std::nullopt));
}

std::unique_ptr<Socket> Socket::Accept(std::error_code& error) {
    auto native = std::make_unique<Native>();
    native_->seen &= ~FD_ACCEPT;
    native->socket.Reset(::accept(native_->socket.Get(), nullptr, nullptr));
    if (!native->socket) {
        const int code = ::WSAGetLastError();
        if (code != WSAEWOULDBLOCK && code != WSAECONNRESET) {
            error = error_ = WsaError(code);
        }
        return nullptr;
    }
    // The accepted socket inherits the listener's event; it gets one of its own.
    if (!native->Tie(error)) {
        return nullptr;
    }
    NoDelay(native->socket.Get());
    return std::unique_ptr<Socket>(new Socket(std::move(native), std::nullopt));
}

IoResult Socket::Send(std::span<const std::uint8_t> bytes) {
    native_->roomWanted = false;
    const int n = ::send(native_->socket.Get(), reinterpret_cast<const char*>(bytes.data()),
                         static_cast<int>(bytes.size()), 0);
    if (n != SOCKET_ERROR) {
        return {n, IoStatus::Done};
    }
    const int code = ::WSAGetLastError();
    if (code == WSAEWOULDBLOCK) {
        // Winsock tells of room again (FD_WRITE) only after a send that would have blocked.
        native_->seen &= ~FD_WRITE;
        return {0, IoStatus::WouldBlock};
    }
    error_ = WsaError(code);
    const bool gone = code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN;
    return {0, gone ? IoStatus::Gone : IoStatus::Failed};
}

IoResult Socket::Receive(std::span<std::uint8_t> buffer) {
    // Winsock records FD_READ again after this recv if bytes are still queued.
    native_->seen &= ~FD_READ;
    const int n = ::recv(native_->socket.Get(), reinterpret_cast<char*>(buffer.data()),
                         static_cast<int>(buffer.size()), 0);
    if (n > 0) {
        return {n, IoStatus::Done};
    }
    if (n == 0 && !buffer.empty()) {
        // The peer's end of file: it closed the connection.
        error_ = Error::ClosedByPeer;
        return {0, IoStatus::Gone};
    }
    const int code = ::WSAGetLastError();
    if (code == WSAEWOULDBLOCK) {
        return {0, IoStatus::WouldBlock};
    }
    error_ = WsaError(code);
    const bool gone = code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAETIMEDOUT;
    return {0, gone ? IoStatus::Gone : IoStatus::Failed};
}

WaitResult Socket::Wait(bool input, bool output, TimePoint deadline) {
    return native_->WaitFor((input ? kInputEvents : 0) | (output ? kOutputEvents : 0), deadline,
                            stop_);
}

WaitToken Socket::InputToken() {
    return native_->Token();
}

WaitToken Socket::OutputToken() {
    native_->roomWanted = true;
    return native_->Token();
}

std::uint16_t Socket::LocalPort() const {
    SocketAddress address;
    int length = sizeof(address.storage);
    return ::getsockname(native_->socket.Get(), address.Get(), &length) == 0 ? address.Port() : 0;
}

}  // namespace glassbench::net
