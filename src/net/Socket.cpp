#include "net/Socket.h"

#include "net/SocketAddresses.h"

namespace glassbench::net {

std::unique_ptr<Socket> Socket::Connect(const std::string& host, std::uint16_t port,
                                        TimePoint deadline, StopToken stop,
                                        std::error_code& error) {
    if (!SystemReady(error)) {
        return nullptr;
    }
    const AddressLookup lookup = ResolveAddresses(host, port, deadline, stop);
    error =
        lookup.stopped ? std::make_error_code(std::errc::operation_canceled) : LookupError(lookup);
    // Each address the name has, in the resolver's order, while there is time and no stop
    // request has ended a try.
    for (const SocketAddress& address : lookup.addresses) {
        if (auto socket = ConnectTo(address, deadline, stop, error)) {
            error.clear();
            return socket;
        }
        if (Clock::now() >= deadline || error == std::errc::operation_canceled) {
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
        ResolveAddresses(host, port, Clock::now() + std::chrono::seconds(10), std::nullopt);
    if (lookup.addresses.empty()) {
        error = LookupError(lookup);
        return nullptr;
    }
    return ListenOn(lookup.addresses.front(), error);
}

}  // namespace glassbench::net
