// TCP sockets on Linux and other POSIX systems: non-blocking descriptors, waited on with
// ppoll against a monotonic deadline. Sends use MSG_NOSIGNAL, so a peer that has gone ends a
// send with EPIPE instead of ending the program with SIGPIPE.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "serial/Deadline.h"
#include "serial/PosixFd.h"
#include "serial/PosixTime.h"
#include "serial/Socket.h"

namespace glassbench::serial {

struct Socket::Native {
    UniqueFd fd;
};

namespace {

std::error_code Errno(int value) {
    return {value, std::generic_category()};
}

struct Address {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

struct Lookup {
    std::vector<Address> addresses;
    std::error_code error;
};

// getaddrinfo's own reasons are no errno values; what they mean to a user is "no such host".
Lookup LookUp(const std::string& host, std::uint16_t port, bool numericOnly) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    Lookup lookup;
    const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        lookup.error = rc == EAI_SYSTEM ? Errno(errno) : Errno(EHOSTUNREACH);
        return lookup;
    }
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        Address address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = static_cast<socklen_t>(a->ai_addrlen);
        lookup.addresses.push_back(address);
    }
    ::freeaddrinfo(found);
    return lookup;
}

// A literal address at once; a name on a thread of its own, within the deadline.
Lookup Resolve(const std::string& host, std::uint16_t port, TimePoint deadline) {
    Lookup literal = LookUp(host, port, true);
    if (!literal.error) {
        return literal;
    }
    auto named =
        RunWithDeadline<Lookup>([host, port] { return LookUp(host, port, false); }, deadline);
    if (!named) {
        return {{}, Errno(ETIMEDOUT)};
    }
    return *named;
}

void NoDelay(int fd) {
    // Frames are small and each waits for its reply: Nagle's delay would hold every one.
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

WaitResult PollOne(int fd, short events, TimePoint deadline, std::error_code& error) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const timespec timeout = TimeLeft(deadline);
        entry.revents = 0;
        const int rc = ::ppoll(&entry, 1, &timeout, nullptr);
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = Errno(errno);
            return WaitResult::Gone;
        }
        if (rc == 0) {
            if (Clock::now() < deadline) {
                continue;
            }
            return WaitResult::TimedOut;
        }
        // A reset or hung-up socket polls ready too; the send or receive that follows tells.
        return WaitResult::Ready;
    }
}

// One address: a non-blocking connect, finished within the deadline.
UniqueFd ConnectOne(const Address& address, TimePoint deadline, std::error_code& error) {
    UniqueFd fd(::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = Errno(errno);
        return {};
    }
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address.storage), address.length) !=
        0) {
        if (errno != EINPROGRESS) {
            error = Errno(errno);
            return {};
        }
        if (PollOne(fd.Get(), POLLOUT, deadline, error) != WaitResult::Ready) {
            error = error ? error : Errno(ETIMEDOUT);
            return {};
        }
        int result = 0;
        socklen_t length = sizeof(result);
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &result, &length) != 0 || result != 0) {
            error = Errno(result != 0 ? result : errno);
            return {};
        }
    }
    NoDelay(fd.Get());
    return fd;
}

}  // namespace

Socket::Socket(std::unique_ptr<Native> native) : native_(std::move(native)) {}
Socket::~Socket() = default;

std::unique_ptr<Socket> Socket::Connect(const std::string& host, std::uint16_t port,
                                        TimePoint deadline, std::error_code& error) {
    const Lookup lookup = Resolve(host, port, deadline);
    error = lookup.error;
    for (const Address& address : lookup.addresses) {
        UniqueFd fd = ConnectOne(address, deadline, error);
        if (fd) {
            error.clear();
            return std::unique_ptr<Socket>(
                new Socket(std::make_unique<Native>(Native{std::move(fd)})));
        }
        if (Clock::now() >= deadline) {
            break;
        }
    }
    if (!error) {
        error = Errno(EHOSTUNREACH);
    }
    return nullptr;
}

std::unique_ptr<Socket> Socket::Listen(const std::string& host, std::uint16_t port,
                                       std::error_code& error) {
    const Lookup lookup = Resolve(host, port, Clock::now() + std::chrono::seconds(10));
    if (lookup.addresses.empty()) {
        error = lookup.error ? lookup.error : Errno(EADDRNOTAVAIL);
        return nullptr;
    }
    const Address& address = lookup.addresses.front();
    UniqueFd fd(::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    int on = 1;
    // A module restarted at once must not find its port held by the last one's closed
    // connections.
    if (!fd || ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0 ||
        ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address.storage), address.length) !=
            0 ||
        ::listen(fd.Get(), 4) != 0) {
        error = Errno(errno);
        return nullptr;
    }
    return std::unique_ptr<Socket>(new Socket(std::make_unique<Native>(Native{std::move(fd)})));
}

std::unique_ptr<Socket> Socket::Accept(std::error_code& error) {
    for (;;) {
        UniqueFd fd(::accept4(native_->fd.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (fd) {
            NoDelay(fd.Get());
            return std::unique_ptr<Socket>(
                new Socket(std::make_unique<Native>(Native{std::move(fd)})));
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

IoResult Socket::Send(const std::uint8_t* bytes, int count) {
    for (;;) {
        const ssize_t n =
            ::send(native_->fd.Get(), bytes, static_cast<std::size_t>(count), MSG_NOSIGNAL);
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

IoResult Socket::Receive(std::uint8_t* buffer, int count) {
    for (;;) {
        const ssize_t n = ::recv(native_->fd.Get(), buffer, static_cast<std::size_t>(count), 0);
        if (n > 0) {
            // Acknowledge at once, not up to 40 ms later as Linux does by default: a server
            // with Nagle's algorithm on (ser2net) holds its next small write, a reply, until
            // the last one is acknowledged. Linux turns quick acknowledgement off again by
            // itself, so it is asked for after every read.
            int on = 1;
            ::setsockopt(native_->fd.Get(), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof(on));
            return {static_cast<int>(n), IoStatus::Done};
        }
        if (n == 0) {
            // The peer's end of file: it closed the connection.
            error_ = Errno(ECONNRESET);
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

WaitResult Socket::Wait(WaitFor what, TimePoint deadline) {
    return PollOne(native_->fd.Get(), what == WaitFor::Input ? POLLIN : POLLOUT, deadline, error_);
}

WaitToken Socket::InputToken() {
    return native_->fd.Get();
}

std::uint16_t Socket::LocalPort() const {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (::getsockname(native_->fd.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
    return ntohs(address.ss_family == AF_INET6 ? v6->sin6_port : v4->sin_port);
}

}  // namespace glassbench::serial
