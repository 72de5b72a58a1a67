#include "net/TelnetSession.h"

#include <algorithm>
#include <array>
#include <vector>

#include "net/Errors.h"

namespace glassbench::net {

using telnet::Option;

TelnetSession::TelnetSession(ByteStream& stream, telnet::Role role, Framing framing,
                             SessionLimits limits)
    : stream_(stream), framing_(framing), limits_(limits), codec_(role), role_(role) {}

void TelnetSession::Offer() {
    if (!IsTelnet()) {
        return;
    }
    telnet::Bytes offer;
    codec_.RequestLocal(Option::Binary, offer);
    codec_.RequestRemote(Option::Binary, offer);
    codec_.RequestLocal(Option::SuppressGoAhead, offer);
    codec_.RequestRemote(Option::SuppressGoAhead, offer);
    if (role_ == telnet::Role::Client) {
        codec_.RequestLocal(Option::ComPort, offer);
    }
    QueueControl(offer);
}

bool TelnetSession::OfferAnswered() const {
    if (!IsTelnet()) {
        return true;
    }
    return codec_.LocalSettled(Option::Binary) && codec_.RemoteSettled(Option::Binary) &&
           (role_ == telnet::Role::Server || codec_.LocalSettled(Option::ComPort));
}

bool TelnetSession::ComPortEnabled() const {
    if (!IsTelnet()) {
        return false;
    }
    return role_ == telnet::Role::Client ? codec_.LocalEnabled(Option::ComPort)
                                         : codec_.RemoteEnabled(Option::ComPort);
}

bool TelnetSession::Pump(SessionEvents& events) {
    std::array<std::uint8_t, 4096> chunk;
    for (std::size_t read = 0; !error_ && read < limits_.readPerPump;) {
        const std::size_t room = std::min(chunk.size(), limits_.readPerPump - read);
        const IoResult got = stream_.Receive({chunk.data(), room});
        if (got.status == IoStatus::WouldBlock) {
            // All there is has been read: a gone connection that shows no end (a reset that
            // has not arrived yet) is gone by the send's word.
            Fail(sendError_);
            break;
        }
        if (got.status != IoStatus::Done) {
            Fail(StreamError());
            break;
        }
        read += static_cast<std::size_t>(got.count);
        received_ += static_cast<std::uint64_t>(got.count);
        const std::span<const std::uint8_t> in(chunk.data(), static_cast<std::size_t>(got.count));
        if (!IsTelnet()) {
            events.OnData(in);
            continue;
        }
        telnet::Bytes data;
        telnet::Bytes answers;
        std::vector<telnet::ComPortMessage> messages;
        codec_.Decode(in, data, answers, messages);
        // Each message where it stood among the data.
        std::size_t from = 0;
        for (const auto& message : messages) {
            if (message.dataBefore > from) {
                events.OnData(std::span(data).subspan(from, message.dataBefore - from));
            }
            from = message.dataBefore;
            events.OnComPort(message);
        }
        if (data.size() > from) {
            events.OnData(std::span(data).subspan(from));
        }
        if (!answers.empty()) {
            QueueControl(answers);
        }
    }
    Flush();
    return !Failed();
}

bool TelnetSession::SendComPort(std::uint8_t command, std::span<const std::uint8_t> value) {
    if (!IsTelnet()) {
        return !Failed();
    }
    telnet::Bytes bytes;
    telnet::AppendComPort(bytes, command, value);
    return QueueControl(bytes);
}

std::size_t TelnetSession::QueueData(std::span<const std::uint8_t> data) {
    if (Failed()) {
        return 0;
    }
    Segment segment;
    std::size_t taken = 0;
    for (; taken < data.size(); ++taken) {
        const std::size_t size = EncodedSize(data[taken]);
        if (queuedData_ + segment.bytes.size() + size > limits_.maxQueuedData) {
            break;
        }
        segment.bytes.insert(segment.bytes.end(), size, data[taken]);
    }
    if (taken > 0) {
        queuedData_ += segment.bytes.size();
        dataQueued_ += taken;
        queue_.push_back(std::move(segment));
        Flush();
    }
    return taken;
}

bool TelnetSession::Flush() {
    while (!Failed() && !held_ && !queue_.empty()) {
        Segment& head = queue_.front();
        const IoResult sent = stream_.Send(std::span(head.bytes).subspan(head.sent));
        if (sent.status == IoStatus::WouldBlock ||
            (sent.status == IoStatus::Done && sent.count == 0)) {
            break;
        }
        const std::error_code reason = StreamError();
        if (sent.status == IoStatus::Gone) {
            sendError_ = reason;
            break;
        }
        if (sent.status != IoStatus::Done) {
            Fail(reason);
            break;
        }
        head.sent += static_cast<std::size_t>(sent.count);
        (head.control ? queuedControl_ : queuedData_) -= static_cast<std::size_t>(sent.count);
        if (!head.control) {
            Count(head);
        }
        if (head.sent == head.bytes.size()) {
            queue_.pop_front();
        }
    }
    return !Failed();
}

void TelnetSession::Count(Segment& segment) {
    while (segment.counted < segment.sent) {
        const std::size_t size = EncodedSize(segment.bytes[segment.counted]);
        if (segment.counted + size > segment.sent) {
            break;
        }
        segment.counted += size;
        ++dataSent_;
    }
}

std::size_t TelnetSession::DropUnsentData() {
    std::size_t dropped = 0;
    for (auto it = queue_.begin(); it != queue_.end();) {
        if (it->control) {
            ++it;
            continue;
        }
        // What has begun to go stays, to the end of the byte it belongs to: the other half of
        // a doubled 0xFF of which one half has gone.
        const std::size_t keepEnd = it->sent == it->counted ? it->sent : it->counted + 2;
        for (std::size_t i = keepEnd; i < it->bytes.size();) {
            i += EncodedSize(it->bytes[i]);
            ++dropped;
        }
        queuedData_ -= it->bytes.size() - keepEnd;
        it->bytes.resize(keepEnd);
        if (it->sent == it->bytes.size()) {
            it = queue_.erase(it);
        } else {
            ++it;
        }
    }
    dataQueued_ -= dropped;
    return dropped;
}

bool TelnetSession::QueueControl(const telnet::Bytes& bytes) {
    if (Failed() || bytes.empty()) {
        return !Failed();
    }
    if (queuedControl_ + bytes.size() > limits_.maxQueuedControl) {
        Fail(Error::PeerReadsNothing);
        return false;
    }
    Segment segment;
    segment.control = true;
    segment.bytes = bytes;
    queuedControl_ += bytes.size();
    queue_.push_back(std::move(segment));
    return Flush();
}

std::size_t TelnetSession::EncodedSize(std::uint8_t byte) const {
    return IsTelnet() && byte == telnet::kIac ? 2 : 1;
}

std::error_code TelnetSession::StreamError() const {
    const std::error_code error = stream_.LastError();
    return error ? error : std::make_error_code(std::errc::connection_reset);
}

void TelnetSession::Fail(std::error_code error) {
    if (!error_ && error) {
        error_ = error;
    }
}

}  // namespace glassbench::net
