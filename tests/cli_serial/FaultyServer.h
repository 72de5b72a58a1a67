// Network servers that misbehave on cue, for the CLI's network-port tests: each listens on a free
// loopback port and serves its first connection with a script in a thread of the test, doing
// what no real server can be made to do when a test wants it (stop reading, flood, storm with
// Telnet commands, answer late, close in the middle of an exchange). Later connections are
// closed at once. Everything waits on the connection or on the server's own stop pipe, which
// the destructor writes; a script never outlives its server.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace glassbench::testing {

using ByteString = std::vector<std::uint8_t>;

// One accepted connection, as a script sees it. Every wait ends when the server is stopped or
// after `kLongest`, so that a script cannot hold a test for good.
class ServerConnection {
  public:
    static constexpr std::chrono::seconds kLongest{60};

    ServerConnection(int fd, int stopFd) : fd_(fd), stopFd_(stopFd) {}

    int Fd() const { return fd_; }
    bool Stopped() const {
        pollfd stop{stopFd_, POLLIN, 0};
        return ::poll(&stop, 1, 0) > 0;
    }

    // Until the connection has one of `events`: false when the server stops first.
    bool Wait(short events) const { return WaitOn(fd_, events); }
    // The same for another descriptor of the script's.
    bool WaitOn(int fd, short events) const {
        pollfd fds[2] = {{fd, events, 0}, {stopFd_, POLLIN, 0}};
        while (::poll(fds, 2, static_cast<int>(kLongest.count() * 1000)) < 0 && errno == EINTR) {
        }
        return fds[1].revents == 0 && fds[0].revents != 0;
    }

    // What the client has sent, waiting for it; nullopt once the client has gone or the server
    // stops.
    std::optional<ByteString> Read() const {
        if (!Wait(POLLIN)) {
            return std::nullopt;
        }
        ByteString bytes(4096);
        const ssize_t n = ::recv(fd_, bytes.data(), bytes.size(), 0);
        if (n <= 0) {
            return std::nullopt;
        }
        bytes.resize(static_cast<std::size_t>(n));
        return bytes;
    }

    // All of `bytes`, waiting for room; false when the client has gone or the server stops.
    bool Send(std::span<const std::uint8_t> bytes) const {
        while (!bytes.empty()) {
            if (!Wait(POLLOUT)) {
                return false;
            }
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN) {
                return false;
            }
            bytes = bytes.subspan(n > 0 ? static_cast<std::size_t>(n) : 0);
        }
        return true;
    }
    bool Send(const std::string& text) const {
        return Send({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }

    // Bytes that have arrived and that nobody has read.
    int Unread() const {
        int n = 0;
        ::ioctl(fd_, FIONREAD, &n);
        return n;
    }

  private:
    int fd_;
    int stopFd_;
};

class FaultyServer {
  public:
    using Script = std::function<void(const ServerConnection&)>;

    // `receiveBuffer`: the accepted connection's receive buffer in bytes (0: the system's), so
    // that a client's bytes fill it soon when the script stops reading.
    explicit FaultyServer(Script script, int receiveBuffer = 0) : script_(std::move(script)) {
        ::pipe2(stop_, O_CLOEXEC);
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0) {
            ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            ::listen(listener_, 4) == 0 &&
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
        thread_ = std::thread([this] { Serve(); });
    }
    ~FaultyServer() {
        const char byte = 's';
        [[maybe_unused]] const auto ignored = ::write(stop_[1], &byte, 1);
        thread_.join();
        ::close(listener_);
        ::close(stop_[0]);
        ::close(stop_[1]);
    }
    FaultyServer(const FaultyServer&) = delete;
    FaultyServer& operator=(const FaultyServer&) = delete;

    // 0 when it could not listen.
    int Port() const { return port_; }
    std::string Url(const std::string& scheme) const {
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }

  private:
    void Serve() {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        bool served = false;
        while (port_ != 0 && ::poll(fds, 2, -1) >= 0 && fds[1].revents == 0) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) {
                continue;
            }
            if (!served) {
                served = true;
                const int on = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
                script_(ServerConnection(fd, stop_[0]));
            }
            ::close(fd);
        }
    }

    Script script_;
    int stop_[2] = {-1, -1};
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace glassbench::testing
