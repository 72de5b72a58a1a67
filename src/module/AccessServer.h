// The virtual module's side of a network serial port: one client's connection, and on
// rfc2217:// the access server it talks to, without sockets (the connection runs on any
// ByteStream, which the tests script).
//
// AccessServer is the RFC 2217 logic: the line it pretends to have (9600 baud, 8N1, no flow
// control, DTR and RTS on, for each client anew) and its answer to each com-port request, the
// value now in effect (the request's command plus 100), as RFC 2217 asks. A change of speed,
// DTR or RTS prints one line. ServedConnection is one client on a TelnetSession: it hands the
// client's data to the module core with each setting applied where it stood among the data,
// answers the requests, tells the modem state once, holds answer bytes while the client has
// suspended them, and on a purge of the server's receive buffer throws away answer bytes not
// yet sent. A raw socket:// client can set nothing, so there the line stays at 9600 baud 8N1.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>

#include "module/ModuleCore.h"
#include "net/Errors.h"
#include "net/TelnetSession.h"

namespace glassbench::module {

namespace telnet = net::telnet;

// The line as a port the tool has just opened has it.
struct ServedLine {
    std::uint32_t speed = 9600;
    std::uint8_t dataSize = 8;
    std::uint8_t parity = telnet::kParityNone;
    std::uint8_t stopSize = telnet::kStopOne;
    std::array<std::uint8_t, telnet::kControlSettings> controls{
        telnet::kNoFlowControl, telnet::kBreakOff, telnet::kDtrOn, telnet::kRtsOn,
        telnet::kNoInboundFlowControl};
    std::uint8_t modemStateMask = 255;  // RFC 2217's default

    // Start, data bits, parity and stop bits at the speed.
    std::chrono::nanoseconds CharacterTime() const;
};

class AccessServer {
  public:
    explicit AccessServer(std::ostream& out) : out_(out) {}

    // What the server does with one com-port message from the client.
    enum class Effect { None, Suspend, Resume, PurgeReceived };
    struct Response {
        std::optional<telnet::Bytes> answer;  // the answer's value, under the command + 100
        Effect effect = Effect::None;
    };
    Response OnComPort(const telnet::ComPortMessage& message);

    const ServedLine& Line() const { return line_; }
    // The modem lines the module shows: CTS, DSR and CD on, as a module that is there and
    // ready, through the client's mask; they never change.
    std::uint8_t ModemState() const;

  private:
    std::uint8_t ApplyControl(std::uint8_t value);

    std::ostream& out_;
    ServedLine line_;
};

class ServedConnection final : private net::SessionEvents {
  public:
    ServedConnection(std::unique_ptr<net::ByteStream> stream, net::Framing framing,
                     std::ostream& out);

    net::ByteStream& Stream() { return *stream_; }
    const ServedLine& Line() const { return server_.Line(); }
    // Bytes the stream has not taken yet: sent when it has room again.
    bool HasQueued() const { return session_.HasQueued(); }
    // Whether the client was given up for reading nothing (rather than having gone).
    bool ReadsNothing() const {
        return overflowed_ || session_.Error() == net::Error::PeerReadsNothing;
    }

    // Everything the client has sent so far (a bounded amount a call), handed on in order,
    // and what waits to go sent as far as the stream takes it; false once the client has gone,
    // reads nothing, or has let too much pile up unread.
    bool Serve(ModuleCore& core);
    // Answer bytes for the client, held back while it has suspended them; false when too many
    // wait for it: a client that reads nothing.
    bool Write(std::span<const std::uint8_t> bytes);

  private:
    void OnData(std::span<const std::uint8_t> data) override;
    void OnComPort(const telnet::ComPortMessage& message) override;

    std::unique_ptr<net::ByteStream> stream_;
    net::TelnetSession session_;
    AccessServer server_;
    ModuleCore* core_ = nullptr;
    telnet::Bytes held_;  // answer bytes the client has suspended
    bool suspended_ = false;
    bool notified_ = false;  // the modem state told
    bool overflowed_ = false;
};

}  // namespace glassbench::module
