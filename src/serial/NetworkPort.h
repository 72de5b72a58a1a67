// Serial ports reached over TCP, named as URLs wherever a port is named:
//
//   rfc2217://HOST:PORT   Telnet with the com-port option (RFC 2217): the access server sets
//                         the line's speed and format and its modem lines on request
//   socket://HOST:PORT    raw TCP: bytes are bytes, with no settings and no modem lines
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets ([::1]). OpenNetworkPort
// connects within kConnectTime and, for rfc2217, negotiates the Telnet options; the device it
// returns is one more SerialDevice, so every caller of the link gets network ports unchanged.
// A server that does not answer a request within kAnswerTime is waited for kSlowAnswerTime
// only for that request from then on, until it answers one again, and the device says so once
// through its notices. A stop request ends every wait, the connect's included.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "net/ByteStream.h"
#include "net/TelnetSession.h"
#include "serial/SerialSystem.h"

namespace glassbench::serial {

enum class NetworkScheme { Rfc2217, Socket };

struct NetworkAddress {
    NetworkScheme scheme = NetworkScheme::Socket;
    std::string host;
    std::uint16_t port = 0;
};

// What a scheme's connection carries: Telnet with the com-port option, or the line's bytes.
inline net::Framing FramingOf(NetworkScheme scheme) {
    return scheme == NetworkScheme::Rfc2217 ? net::Framing::Telnet : net::Framing::Raw;
}

inline constexpr std::chrono::seconds kConnectTime{3};
inline constexpr std::chrono::milliseconds kAnswerTime{400};
// A request the server has once left unanswered within kAnswerTime gets this long; an answer,
// however late, gives it kAnswerTime again.
inline constexpr std::chrono::milliseconds kSlowAnswerTime{50};

// Where the scheme of a name written as a URL ends: the position of its "://" when `text`
// begins with a scheme (letters and digits) and "://"; nullopt for anything else. The one rule
// of what is a network port's name, for the names given alone and for those in a list.
std::optional<std::size_t> NetworkSchemeEnd(std::string_view text);

// Whether `name` is written as a URL ("scheme://..."), and so is no device path.
inline bool IsNetworkPortName(std::string_view name) {
    return NetworkSchemeEnd(name).has_value();
}

// What a name is for: a port to connect to, or an address to listen on, where port 0 asks the
// system for any free one.
enum class PortUse { Connect, Listen };

// The parts of a network port name, or nullopt with the reason in `reason`: an unknown
// scheme, no host, no port number, a port over 65535, or (to connect) of 0.
std::optional<NetworkAddress> ParseNetworkPortName(std::string_view name, std::string& reason,
                                                   PortUse use = PortUse::Connect);

// The name again, as ParseNetworkPortName reads it (an IPv6 host in brackets).
std::string FormatNetworkPortName(const NetworkAddress& address);

// The connected, negotiated port; null with the system's reason in `error`, and in `detail`
// what the server said before it closed, in words ("" when it said nothing). `name` is what
// its notices call it; every wait ends at a request of `stop`.
std::unique_ptr<SerialDevice> OpenNetworkPort(const NetworkAddress& address,
                                              const std::string& name, StopToken stop,
                                              std::error_code& error, std::string& detail);

// A device on a stream that is connected already (a socket, or a scripted stream in the
// tests): the same device OpenNetworkPort makes, and the same start, within `settle` for a raw
// port. Null with the reason, as OpenNetworkPort.
std::unique_ptr<SerialDevice> StartNetworkPort(std::unique_ptr<net::ByteStream> stream,
                                               NetworkScheme scheme, const std::string& name,
                                               std::chrono::nanoseconds settle,
                                               std::error_code& error, std::string& detail);

}  // namespace glassbench::serial
