#include "serial/NetworkPort.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string>

namespace glassbench::serial {

namespace {

constexpr std::string_view kSeparator = "://";

struct SchemeName {
    std::string_view name;
    NetworkScheme scheme;
};
constexpr std::array<SchemeName, 2> kSchemes{{
    {"rfc2217", NetworkScheme::Rfc2217},
    {"socket", NetworkScheme::Socket},
}};

}  // namespace

std::optional<std::size_t> NetworkSchemeEnd(std::string_view text) {
    const auto end = text.find(kSeparator);
    if (end == 0 || end == std::string_view::npos ||
        !std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
        return std::nullopt;
    }
    return end;
}

std::optional<NetworkAddress> ParseNetworkPortName(std::string_view name, std::string& reason,
                                                   PortUse use) {
    const auto separator = NetworkSchemeEnd(name).value_or(std::string_view::npos);
    const std::string_view scheme = name.substr(0, separator);
    const SchemeName* known = nullptr;
    for (const SchemeName& row : kSchemes) {
        known = row.name == scheme ? &row : known;
    }
    if (separator == std::string_view::npos || known == nullptr) {
        reason = "'" + std::string(name) +
                 "' is no port name: network ports are rfc2217://HOST:PORT or socket://HOST:PORT";
        return std::nullopt;
    }
    const std::string_view rest = name.substr(separator + kSeparator.size());
    std::string_view host;
    std::string_view port;
    bool hasPort = false;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        hasPort = close != std::string_view::npos && rest.substr(close + 1).starts_with(':');
        if (hasPort) {
            host = rest.substr(1, close - 1);
            port = rest.substr(close + 2);
        }
    } else if (const auto colon = rest.rfind(':'); colon != std::string_view::npos) {
        hasPort = true;
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
    }
    const std::string quoted = "'" + std::string(name) + "'";
    if (!hasPort) {
        reason = quoted + " has no port number: write HOST:PORT";
        return std::nullopt;
    }
    // A bare IPv6 address would be cut at its last colon; it must come in brackets.
    if (!rest.starts_with('[') && host.find(':') != std::string_view::npos) {
        reason = quoted + ": an IPv6 address goes in brackets, as in [::1]:PORT";
        return std::nullopt;
    }
    if (host.empty()) {
        reason = quoted + " names no host";
        return std::nullopt;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    const unsigned lowest = use == PortUse::Listen ? 0 : 1;
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < lowest ||
        value > 65535) {
        reason = quoted + ": the TCP port '" + std::string(port) + "' is not a number from " +
                 std::to_string(lowest) + " to 65535";
        return std::nullopt;
    }
    return NetworkAddress{known->scheme, std::string(host), static_cast<std::uint16_t>(value)};
}

std::string FormatNetworkPortName(const NetworkAddress& address) {
    std::string_view scheme;
    for (const SchemeName& row : kSchemes) {
        scheme = row.scheme == address.scheme ? row.name : scheme;
    }
    // An IPv6 address in brackets, and a host that begins with one, or it would be read as
    // the brackets of one.
    const bool bracket =
        address.host.find(':') != std::string::npos || address.host.starts_with('[');
    return std::string(scheme) + std::string(kSeparator) + (bracket ? "[" : "") + address.host +
           (bracket ? "]" : "") + ":" + std::to_string(address.port);
}

}  // namespace glassbench::serial
