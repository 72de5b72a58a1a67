// The addresses a TCP connection may go to, for both halves of the socket seam: getaddrinfo
// and its addrinfo are the same in POSIX sockets and in Winsock. A literal address (an IPv4
// one, or IPv6 without its brackets) is taken at once; a name is looked up on a thread of its
// own, within the caller's deadline, because the system's resolver cannot be given a time
// limit (Deadline.h).
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "net/Deadline.h"

namespace glassbench::net {

struct SocketAddress {
    sockaddr_storage storage{};
    int length = 0;

    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    sockaddr* Get() { return reinterpret_cast<sockaddr*>(&storage); }
    // The port, IPv4 or IPv6.
    std::uint16_t Port() const {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&storage);
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&storage);
        return ntohs(storage.ss_family == AF_INET6 ? v6->sin6_port : v4->sin_port);
    }
};

struct AddressLookup {
    std::vector<SocketAddress> addresses;
    int failure = 0;  // getaddrinfo's code when it found none
    // errno as the look-up left it, for a failure that is the system's (EAI_SYSTEM): read on
    // the thread that looked, as errno belongs to each thread.
    int systemError = 0;
    bool timedOut = false;  // the deadline passed before the name was found
    bool stopped = false;   // a stop request came first
};

// The addresses getaddrinfo gives `host`, for a stream socket to `port`.
inline AddressLookup LookUpAddresses(const std::string& host, std::uint16_t port,
                                     bool literalOnly) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = literalOnly ? AI_NUMERICHOST : 0;
    addrinfo* found = nullptr;
    AddressLookup lookup;
    lookup.failure = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    lookup.systemError = errno;
    for (const addrinfo* a = lookup.failure == 0 ? found : nullptr; a != nullptr; a = a->ai_next) {
        SocketAddress address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = static_cast<int>(a->ai_addrlen);
        lookup.addresses.push_back(address);
    }
    if (found != nullptr) {
        ::freeaddrinfo(found);
    }
    return lookup;
}

// A literal address at once; a name on a thread of its own, until the deadline or a stop
// request.
inline AddressLookup ResolveAddresses(const std::string& host, std::uint16_t port,
                                      TimePoint deadline, StopToken stop) {
    AddressLookup literal = LookUpAddresses(host, port, true);
    if (!literal.addresses.empty()) {
        return literal;
    }
    auto named = RunWithDeadline<AddressLookup>(
        [host, port] { return LookUpAddresses(host, port, false); }, deadline, stop);
    if (!named) {
        AddressLookup late;
        late.stopped = Clock::now() < deadline;
        late.timedOut = !late.stopped;
        return late;
    }
    return *named;
}

}  // namespace glassbench::net
