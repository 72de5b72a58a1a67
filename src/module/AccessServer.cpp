#include "module/AccessServer.h"

#include <ostream>
#include <string_view>

namespace glassbench::module {

namespace {

using telnet::ComPort;
using telnet::ControlSetting;

constexpr std::string_view kSignature = "Glassbench virtual module";

// Answer bytes waiting for a client, at most: a client that lets this much pile up unread
// reads nothing, and is dropped. Telnet bytes: every answer is a few bytes and a client asks a
// handful at a time.
constexpr net::SessionLimits kLimits{64 * 1024, 64 * 1024, 4 * 1024};

// A value from `lowest` to `highest` is taken; anything else (0 asks) leaves the setting.
std::uint8_t Take(std::uint8_t& setting, const telnet::Bytes& value, int lowest, int highest) {
    if (value.size() == 1 && value[0] >= lowest && value[0] <= highest) {
        setting = value[0];
    }
    return setting;
}

}  // namespace

std::chrono::nanoseconds ServedLine::CharacterTime() const {
    const int halfBits = 2 * (1 + dataSize + (parity != telnet::kParityNone ? 1 : 0)) +
                         (stopSize == telnet::kStopTwo          ? 4
                          : stopSize == telnet::kStopOneAndHalf ? 3
                                                                : 2);
    return std::chrono::nanoseconds{halfBits * 1'000'000'000LL / (2LL * speed)};
}

std::uint8_t AccessServer::ModemState() const {
    constexpr std::uint8_t kReady = telnet::kModemCts | telnet::kModemDsr | telnet::kModemCd;
    return static_cast<std::uint8_t>(kReady & line_.modemStateMask);
}

AccessServer::Response AccessServer::OnComPort(const telnet::ComPortMessage& message) {
    const telnet::Bytes& value = message.value;
    const std::uint8_t first = value.empty() ? 0 : value[0];
    switch (static_cast<ComPort>(message.command)) {
        case ComPort::Signature:
            // With text it is the client's own signature; without, it asks for ours.
            if (value.empty()) {
                return {telnet::Bytes(kSignature.begin(), kSignature.end())};
            }
            return {};
        case ComPort::SetBaudRate: {
            const std::uint32_t speed = telnet::ReadBigEndian32(value);
            if (value.size() == 4 && speed != 0 && speed != line_.speed) {
                line_.speed = speed;
                out_ << "speed: " << speed << " baud" << std::endl;
            }
            const auto answer = telnet::BigEndian32(line_.speed);
            return {telnet::Bytes(answer.begin(), answer.end())};
        }
        case ComPort::SetDataSize:
            return {telnet::Bytes{Take(line_.dataSize, value, 5, 8)}};
        case ComPort::SetParity:
            return {telnet::Bytes{
                Take(line_.parity, value, telnet::kParityNone, telnet::kParitySpace)}};
        case ComPort::SetStopSize:
            return {telnet::Bytes{
                Take(line_.stopSize, value, telnet::kStopOne, telnet::kStopOneAndHalf)}};
        case ComPort::SetControl:
            if (value.size() == 1 && first < telnet::kControlValues.size()) {
                return {telnet::Bytes{ApplyControl(first)}};
            }
            return {};
        // Asked for, the line's and the modem's state as they are: the module has no line
        // errors.
        case ComPort::NotifyLineState:
            return {telnet::Bytes{0}};
        case ComPort::NotifyModemState:
            return {telnet::Bytes{ModemState()}};
        case ComPort::FlowControlSuspend:
            return {std::nullopt, Effect::Suspend};
        case ComPort::FlowControlResume:
            return {std::nullopt, Effect::Resume};
        case ComPort::SetLineStateMask:
            // The line state is never anything but 0.
            return {telnet::Bytes{first}};
        case ComPort::SetModemStateMask:
            line_.modemStateMask = first;
            return {telnet::Bytes{first}};
        case ComPort::PurgeData:
            // The module has taken everything the client sent; what the server holds for the
            // client is its receive buffer, which goes.
            if (first < 1 || first > 3) {
                return {};
            }
            return {telnet::Bytes{first}, first == 2 ? Effect::None : Effect::PurgeReceived};
    }
    // Answers (a client sends none) and commands RFC 2217 does not have are dropped.
    return {};
}

// Sets or reports one of SET-CONTROL's settings; the value in effect answers. A change of DTR
// or RTS prints one line.
std::uint8_t AccessServer::ApplyControl(std::uint8_t value) {
    const telnet::ControlValue row = telnet::kControlValues[value];
    std::uint8_t& setting = line_.controls[static_cast<std::size_t>(row.setting)];
    if (!row.asks && setting != value) {
        setting = value;
        if (row.setting == ControlSetting::Dtr || row.setting == ControlSetting::Rts) {
            const bool high = value == telnet::kDtrOn || value == telnet::kRtsOn;
            out_ << "modem line: " << (row.setting == ControlSetting::Dtr ? "DTR" : "RTS")
                 << (high ? " high" : " low") << std::endl;
        }
    }
    return setting;
}

ServedConnection::ServedConnection(std::unique_ptr<net::ByteStream> stream, net::Framing framing,
                                   std::ostream& out)
    : stream_(std::move(stream)),
      session_(*stream_, telnet::Role::Server, framing, kLimits),
      server_(out) {
    session_.Offer();
}

bool ServedConnection::Serve(ModuleCore& core) {
    core_ = &core;
    const bool open = session_.Pump(*this);
    core_ = nullptr;
    if (open && !notified_ && session_.ComPortEnabled()) {
        // Clients read the modem lines from the server's notices; this one is the only one,
        // as the lines never change.
        notified_ = true;
        const std::uint8_t state = server_.ModemState();
        session_.SendComPort(
            static_cast<std::uint8_t>(ComPort::NotifyModemState) + telnet::kServerOffset,
            {&state, 1});
    }
    return open && !overflowed_ && !session_.Failed();
}

bool ServedConnection::Write(std::span<const std::uint8_t> bytes) {
    if (suspended_) {
        if (held_.size() + bytes.size() > kLimits.maxQueuedData) {
            overflowed_ = true;
            return false;
        }
        held_.insert(held_.end(), bytes.begin(), bytes.end());
        return true;
    }
    if (session_.QueueData(bytes) < bytes.size()) {
        overflowed_ = true;
        return false;
    }
    return true;
}

void ServedConnection::OnData(std::span<const std::uint8_t> data) {
    core_->Receive(data);
}

void ServedConnection::OnComPort(const telnet::ComPortMessage& message) {
    const AccessServer::Response response = server_.OnComPort(message);
    switch (response.effect) {
        case AccessServer::Effect::None:
            break;
        case AccessServer::Effect::Suspend:
            suspended_ = true;
            break;
        case AccessServer::Effect::Resume:
            suspended_ = false;
            overflowed_ = session_.QueueData(held_) < held_.size() || overflowed_;
            held_.clear();
            break;
        case AccessServer::Effect::PurgeReceived:
            session_.DropUnsentData();
            held_.clear();
            break;
    }
    if (response.answer) {
        session_.SendComPort(message.command + telnet::kServerOffset, *response.answer);
    }
}

}  // namespace glassbench::module
