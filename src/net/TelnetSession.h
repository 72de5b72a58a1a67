// One end of a network serial port's connection, as both ends use it: the tool's network port
// (the client) and the virtual module's access server. The same code, with the same bounds,
// reads, decodes, answers and writes for both.
//
// The session sits on a ByteStream and never waits: Pump reads what the stream holds, at most
// `readPerPump` bytes a call, decodes it (Telnet, or nothing for a raw TCP port) and hands the
// data and the com-port messages on to the caller in the order they came; negotiation answers
// go straight back. What goes out waits in one queue, in order: Telnet bytes (answers,
// requests) and data, each data byte encoded (0xFF doubled on Telnet) as it is queued. The
// queue is bounded both ways: data is taken only while there is room for it (the caller sees
// back-pressure), and Telnet bytes past their bound mean the peer reads nothing, a failed
// connection. The caller waits on the stream (Wait, or the tokens) and calls Flush and Pump
// again; so a peer can make the session neither grow nor spin.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <system_error>

#include "net/ByteStream.h"
#include "net/Telnet.h"

namespace glassbench::net {

// What arrives, handed on in order.
class SessionEvents {
  public:
    virtual ~SessionEvents() = default;
    virtual void OnData(std::span<const std::uint8_t> data) = 0;
    // A com-port subnegotiation, its command byte as sent (a server's answers carry
    // telnet::kServerOffset).
    virtual void OnComPort(const telnet::ComPortMessage& message) = 0;
};

enum class Framing {
    Telnet,  // rfc2217://: Telnet with the com-port option
    Raw,     // socket://: the bytes are the line's bytes
};

struct SessionLimits {
    // Bytes one Pump reads at most, so that a peer that never stops sending cannot keep one
    // call busy.
    std::size_t readPerPump;
    // Data bytes queued to go out, encoded, at most.
    std::size_t maxQueuedData;
    // Telnet bytes queued to go out at most; past it the peer is taken to read nothing.
    std::size_t maxQueuedControl;
};

class TelnetSession {
  public:
    TelnetSession(ByteStream& stream, telnet::Role role, Framing framing, SessionLimits limits);

    ByteStream& Stream() { return stream_; }
    bool IsTelnet() const { return framing_ == Framing::Telnet; }

    // What this role offers at the start: binary transfer both ways and no go-aheads, and for
    // the client the com-port option. Queued and sent as far as the stream takes it.
    void Offer();
    // Whether the peer has answered the offer (the options it decides on: binary both ways
    // and, for the client, the com-port option).
    bool OfferAnswered() const;
    // Whether the com-port option is in effect: the client uses it, the server serves it.
    bool ComPortEnabled() const;

    // Reads what the stream holds, `readPerPump` bytes at most, and hands it to `events`;
    // reading goes on after a send has found the connection gone, to the end. False once the
    // connection has ended or failed, or the session has failed (Error says why); what came
    // before the end has been handed on.
    bool Pump(SessionEvents& events);

    // Queues one com-port message (a client's request, or a server's answer with the offset
    // added) and sends what it can; a raw port has none to send. False once the session has
    // failed.
    bool SendComPort(std::uint8_t command, std::span<const std::uint8_t> value);
    // Queues as much of `data` as there is room for, encoded, and sends what it can: the count
    // of bytes taken (0 when the queue is full or the session has failed).
    std::size_t QueueData(std::span<const std::uint8_t> data);
    // Sends what is queued as far as the stream takes it. False once the session has failed.
    bool Flush();
    // While held, nothing is sent: what is queued waits for the release.
    void Hold(bool held) { held_ = held; }
    // Data bytes queued so far, and of them the ones that have gone out whole (a doubled 0xFF
    // counts once both of its bytes have gone), since the session began.
    std::uint64_t DataQueued() const { return dataQueued_; }
    // Bytes read from the stream so far, Telnet's and data.
    std::uint64_t Received() const { return received_; }
    std::uint64_t DataSent() const { return dataSent_; }
    // Throws away queued data that has not begun to go out, keeping Telnet bytes and the rest
    // of a doubled 0xFF half sent: the count of data bytes thrown away.
    std::size_t DropUnsentData();
    bool HasQueued() const { return !queue_.empty(); }
    // Encoded bytes waiting to go: data and Telnet bytes.
    std::size_t Queued() const { return queuedData_ + queuedControl_; }

    bool Failed() const { return error_ || sendError_; }
    // Why the session ended: the stream's reason, Error::ClosedByPeer, or
    // Error::PeerReadsNothing.
    std::error_code Error() const { return error_ ? error_ : sendError_; }

  private:
    struct Segment {
        bool control = false;
        telnet::Bytes bytes;      // encoded
        std::size_t sent = 0;     // bytes of it the stream has taken
        std::size_t counted = 0;  // of them, the ones counted in dataSent_ (data only)
    };

    bool QueueControl(const telnet::Bytes& bytes);
    // The bytes one data byte takes on the wire: a doubled 0xFF on Telnet.
    std::size_t EncodedSize(std::uint8_t byte) const;
    // What the stream gave as the reason its last call failed, a reset where it gave none.
    std::error_code StreamError() const;
    void Fail(std::error_code error);
    // Counts the data bytes of `segment` whose encoding has gone out whole.
    void Count(Segment& segment);

    ByteStream& stream_;
    Framing framing_;
    SessionLimits limits_;
    telnet::TelnetCodec codec_;
    telnet::Role role_;
    std::deque<Segment> queue_;
    std::size_t queuedData_ = 0;     // encoded data bytes not yet sent
    std::size_t queuedControl_ = 0;  // Telnet bytes not yet sent
    bool held_ = false;
    std::uint64_t dataQueued_ = 0;
    std::uint64_t dataSent_ = 0;
    std::uint64_t received_ = 0;
    std::error_code error_;
    // A send that found the connection gone. Reading goes on until it finds the end too: a
    // peer that closes says its last words first, and they tell more than the send's error.
    std::error_code sendError_;
};

}  // namespace glassbench::net
