// TCP sockets on Linux and other POSIX systems: non-blocking descriptors, waited on with
// ppoll against a monotonic deadline and the stop request's descriptor. Sends use
// MSG_NOSIGNAL, so a peer that has gone ends a send with EPIPE instead of ending the program
// with SIGPIPE.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/Errors.h"
#include "net/PosixFd.h"
#include "net/PosixPoll.h"
#include "net/Socket.h"
#include "net/SocketAddresses.h"

namespace glassbench::net {

struct Socket::Native {
    UniqueFd fd;
};

namespace {

std::error_code Errno(int value) {
    return {value, std::generic_category()};
}

void NoDelay(int fd) {
    // Frames are small and each waits for its reply: Nagle's delay would hold every one.
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

void SmallSendBuffer(int fd) {
    // What the tool sends is a frame at a time, as a serial driver's few kilobytes hold it.
    // Linux grows a connection's send buffer to megabytes (4 MB on loopback): a server that
    // stops reading would swallow thousands of frames, each shown as sent, before a write
    // waited. With a few frames' room, the write that finds none fails by its deadline soon.
    int size = kSendBuffer;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
}

// One address: a non-blocking connect, finished within the deadline unless a stop request
// comes first.
UniqueFd ConnectOne(const SocketAddress& address, TimePoint deadline, StopToken stop,
                    std::error_code& error) {
    UniqueFd fd(::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = Errno(errno);
        return {};
    }
    if (::connect(fd.Get(), address.Get(), static_cast<socklen_t>(address.length)) != 0) {
        if (errno != EINPROGRESS) {
            error = Errno(errno);
            return {};
        }
        // A refused connection may poll as an error without room to write: SO_ERROR tells.
        // A wait that failed in itself leaves the connect unfinished: no connection.
        std::error_code waitError;
        switch (PollOne(fd.Get(), POLLOUT, deadline, stop, waitError)) {
            case WaitResult::TimedOut:
                error = Errno(ETIMEDOUT);
                return {};
            case WaitResult::Stopped:
                error = std::make_error_code(std::errc::operation_canceled);
                return {};
            case WaitResult::Gone:
                if (waitError.value() != EIO) {
                    error = waitError;
                    return {};
                }
                break;  // the connection's own error: SO_ERROR tells which
            case WaitResult::Ready:
                break;
        }
        int result = 0;
        socklen_t length = sizeof(result);
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &result, &length) != 0 || result != 0) {
            error = Errno(result != 0 ? result : errno);
            return {};
        }
    }
    NoDelay(fd.Get());
    SmallSendBuffer(fd.Get());
    return fd;
}

}  // namespace

Socket::Socket(std::unique_ptr<Native> native, StopToken stop)
    : native_(std::move(native)), stop_(stop) {}
Socket::~Socket() = default;

bool Socket::SystemReady(std::error_code&) {
    return true;
}

std::error_code Socket::LookupError(const AddressLookup& lookup) {
    // getaddrinfo's own codes are no errno values; what they mean to a user is "no such host".
    if (lookup.timedOut) {
        return Errno(ETIMEDOUT);
    }
    if (lookup.addresses.empty()) {
        return lookup.failure == EAI_SYSTEM ? Errno(lookup.systemError) : Errno(EHOSTUNREACH);
    }
    return {};
}

std::unique_ptr<Socket> Socket::ConnectTo(const SocketAddress& address, TimePoint deadline,
                                          StopToken stop, std::error_code& error) {
    UniqueFd fd = ConnectOne(address, deadline, stop, error);
    return fd ? std::unique_ptr<Socket>(
                    new Socket(std::make_unique<Native>(Native{std::move(fd)}), stop))
              : nullptr;
}

std::unique_ptr<Socket> Socket::ListenOn(const SocketAddress& address, std::error_code& error) {
    UniqueFd fd(::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    int on = 1;
    // A module restarted at once must not find its port held by the last one's closed
    // connections.
    if (!fd || ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0 ||
        ::bind(fd.Get(), address.Get(), static_cast<socklen_t>(address.length)) != 0 ||
        ::listen(fd.Get(), 4) != 0) {
        error = Errno(errno);
        return nullptr;
    }
    return std::unique_ptr<Socket>(
        new Socket(std::make_unique<Native>(Native{std::move(fd)}), std::nullopt));
}

std::unique_ptr<Socket> Socket::Accept(std::error_code& error) {
    for (;;) {
        UniqueFd fd(::accept4(native_->fd.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (fd) {
            NoDelay(fd.Get());
            return std::unique_ptr<Socket>(
                new Socket(std::make_unique<Native>(Native{std::move(fd)}), std::nullopt));
        }
        if (errno == EINTR) {
            continue;
        }
        // A connection that was reset while it waited is simply gone.
        if (errno != EAGAIN && errno != ECONNABORTED) {
            error = error_ = Errno(errno);
        }
        return nullptr;
    }
}

IoResult Socket::Send(std::span<const std::uint8_t> bytes) {
    for (;;) {
        const ssize_t n = ::send(native_->fd.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n >= 0) {
            return {static_cast<int>(n), IoStatus::Done};
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return {0, IoStatus::WouldBlock};
        }
        error_ = Errno(errno);
        return {0, errno == EPIPE || errno == ECONNRESET ? IoStatus::Gone : IoStatus::Failed};
    }
}

IoResult Socket::Receive(std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t n = ::recv(native_->fd.Get(), buffer.data(), buffer.size(), 0);
        if (n > 0) {
            // Acknowledge at once, not up to 40 ms later as Linux does by default: a server
            // with Nagle's algorithm on (ser2net) holds its next small write, a reply, until
            // the last one is acknowledged. Linux turns quick acknowledgement off again by
            // itself, so it is asked for after every read.
            int on = 1;
            ::setsockopt(native_->fd.Get(), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof(on));
            return {static_cast<int>(n), IoStatus::Done};
        }
        if (n == 0 && !buffer.empty()) {
            // The peer's end of file: it closed the connection.
            error_ = Error::ClosedByPeer;
            return {0, IoStatus::Gone};
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return {0, IoStatus::WouldBlock};
        }
        error_ = Errno(errno);
        return {0, errno == ECONNRESET || errno == ETIMEDOUT ? IoStatus::Gone : IoStatus::Failed};
    }
}

WaitResult Socket::Wait(bool input, bool output, TimePoint deadline) {
    const short events = static_cast<short>((input ? POLLIN : 0) | (output ? POLLOUT : 0));
    const WaitResult result = PollOne(native_->fd.Get(), events, deadline, stop_, error_);
    // A hang-up or an error is for the receive or send that follows to tell.
    return result == WaitResult::Gone && error_.value() == EIO ? WaitResult::Ready : result;
}

WaitToken Socket::InputToken() {
    return native_->fd.Get();
}

WaitToken Socket::OutputToken() {
    return native_->fd.Get();
}

std::uint16_t Socket::LocalPort() const {
    SocketAddress address;
    socklen_t length = sizeof(address.storage);
    return ::getsockname(native_->fd.Get(), address.Get(), &length) == 0 ? address.Port() : 0;
}

}  // namespace glassbench::net
