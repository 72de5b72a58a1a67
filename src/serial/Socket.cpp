#include "serial/Socket.h"

#include "serial/SocketAddresses.h"

namespace glassbench::serial {

std::unique_ptr<Socket> Socket::Connect(const std::string& host, std::uint16_t port,
                                        TimePoint deadline, std::error_code& error) {
    if (!SystemReady(error)) {
        return nullptr;
    }
    const AddressLookup lookup = ResolveAddresses(host, port, deadline);
    error = LookupError(lookup);
    // Each address the name has, in the resolver's order, while there is time.
    for (const SocketAddress& address : lookup.addresses) {
        if (auto socket = ConnectTo(address, deadline, error)) {
            error.clear();
            return socket;
        }
        if (Clock::now() >= deadline) {
            break;
        }
    }
    return nullptr;
}

std::unique_ptr<Socket> Socket::Listen(const std::string& host, std::uint16_t port,
                                       std::error_code& error) {
    if (!SystemReady(error)) {
        return nullptr;
    }
    const AddressLookup lookup =
        ResolveAddresses(host, port, Clock::now() + std::chrono::seconds(10));
    if (lookup.addresses.empty()) {
        error = LookupError(lookup);
        return nullptr;
    }
    return ListenOn(lookup.addresses.front(), error);
}

}  // namespace glassbench::serial
