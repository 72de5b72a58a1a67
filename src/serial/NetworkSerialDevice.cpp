// A serial port at the far end of a TCP connection, behind the same interface as a local
// device.
//
// Everything the server sends is read by Pump, without waiting: data goes to `input_` (the
// receive queue as the link sees it), negotiation answers go straight back, and com-port
// answers are counted per command. A request that wants an answer (a setting, the modem
// lines, a purge) is sent and then waited for, reading on meanwhile, up to kAnswerTime; a
// command the server has once left unanswered is not waited for again. Writes go through
// `outgoing_`, so that a frame the socket takes only in part keeps its place, and every
// 0xFF of a frame is doubled on rfc2217 before it goes. Nothing the server sends is trusted:
// the codec bounds every command, and answers that mean nothing here are dropped.
#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include "serial/NetworkPort.h"
#include "serial/Socket.h"
#include "serial/Telnet.h"

namespace glassbench::serial {

namespace {

using telnet::ComPort;
using telnet::Option;

constexpr std::uint8_t Code(ComPort command) {
    return static_cast<std::uint8_t>(command);
}

std::string CommandName(ComPort command) {
    switch (command) {
        case ComPort::SetBaudRate:
            return "SET-BAUDRATE";
        case ComPort::SetDataSize:
            return "SET-DATASIZE";
        case ComPort::SetParity:
            return "SET-PARITY";
        case ComPort::SetStopSize:
            return "SET-STOPSIZE";
        case ComPort::SetControl:
            return "SET-CONTROL";
        case ComPort::PurgeData:
            return "PURGE-DATA";
        default:
            return "a com-port request";
    }
}

class NetworkSerialDevice final : public SerialDevice {
  public:
    NetworkSerialDevice(const NetworkAddress& address, std::string name,
                        std::unique_ptr<Socket> socket)
        : name_(std::move(name)),
          telnet_(address.scheme == NetworkScheme::Rfc2217),
          socket_(std::move(socket)) {}

    // The Telnet options: binary both ways, no go-aheads, and the com-port option, which
    // decides whether this is an RFC 2217 port or a plain Telnet one.
    bool Negotiate() {
        telnet::Bytes out;
        codec_.RequestLocal(Option::Binary, out);
        codec_.RequestRemote(Option::Binary, out);
        codec_.RequestLocal(Option::SuppressGoAhead, out);
        codec_.RequestRemote(Option::SuppressGoAhead, out);
        codec_.RequestLocal(Option::ComPort, out);
        if (!SendAll(out)) {
            return false;
        }
        const bool answered = PumpUntil([this] {
            return codec_.LocalSettled(Option::ComPort) && codec_.LocalSettled(Option::Binary) &&
                   codec_.RemoteSettled(Option::Binary);
        });
        if (gone_) {
            return false;
        }
        comPort_ = codec_.LocalEnabled(Option::ComPort);
        if (!answered) {
            Note("did not answer the Telnet negotiation within " + Ms(kAnswerTime) +
                 ": going on without line settings or modem lines");
        } else if (!comPort_) {
            Note(
                "refused the COM-PORT-OPTION: going on as a plain Telnet port, without line "
                "settings or modem lines");
        }
        return true;
    }

    bool ReadLineSettings(LineSettings& settings) override {
        if (gone_) {
            return Gone();
        }
        settings = settings_;
        return true;
    }

    bool WriteLineSettings(const LineSettings& settings) override {
        settings_ = settings;
        if (!comPort_) {
            if (!telnet_) {
                Note(
                    "is a raw TCP port: it has no speed or modem lines to set, so the speed "
                    "is ignored");
            }
            return true;
        }
        const auto baud = telnet::BigEndian32(static_cast<std::uint32_t>(settings.bitsPerSecond));
        const std::uint8_t parity = settings.parity ? telnet::kParityEven : telnet::kParityNone;
        const std::uint8_t stop = settings.stopBits == 2 ? telnet::kStopTwo : telnet::kStopOne;
        const std::vector<std::pair<ComPort, telnet::Bytes>> requests{
            {ComPort::SetBaudRate, {baud.begin(), baud.end()}},
            {ComPort::SetDataSize, {static_cast<std::uint8_t>(settings.dataBits)}},
            {ComPort::SetParity, {parity}},
            {ComPort::SetStopSize, {stop}},
            {ComPort::SetControl, {telnet::kNoFlowControl}},
        };
        if (!Request(requests)) {
            return false;
        }
        // The server answers with what it now has; another speed than asked for would put
        // every byte on the line wrong.
        const auto& answer = lastAnswer_[Code(ComPort::SetBaudRate)];
        if (answered_.contains(Code(ComPort::SetBaudRate)) &&
            telnet::ReadBigEndian32(answer) != static_cast<std::uint32_t>(settings.bitsPerSecond)) {
            Note("kept " + std::to_string(telnet::ReadBigEndian32(answer)) + " baud instead of " +
                 std::to_string(settings.bitsPerSecond));
            error_ = std::make_error_code(std::errc::invalid_argument);
            return false;
        }
        return true;
    }

    TimeoutsResult ApplyReadTimeouts() override { return TimeoutsResult::Done; }

    ModemResult SetModemLines(bool dtr, bool rts) override {
        if (!comPort_) {
            return ModemResult::NoModemLines;
        }
        const std::uint8_t dtrValue = dtr ? telnet::kDtrOn : telnet::kDtrOff;
        const std::uint8_t rtsValue = rts ? telnet::kRtsOn : telnet::kRtsOff;
        return Request({{ComPort::SetControl, {dtrValue}}, {ComPort::SetControl, {rtsValue}}})
                   ? ModemResult::Done
                   : ModemResult::Failed;
    }

    IoResult Write(const std::uint8_t* bytes, int count) override {
        if (!Flush()) {
            return {0, gone_ ? IoStatus::Gone : IoStatus::WouldBlock};
        }
        telnet::Bytes encoded;
        if (telnet_) {
            telnet::AppendData(encoded, {bytes, static_cast<std::size_t>(count)});
        } else {
            encoded.assign(bytes, bytes + count);
        }
        const IoResult sent = socket_->Send(encoded.data(), static_cast<int>(encoded.size()));
        if (sent.status != IoStatus::Done) {
            return Lost(sent);
        }
        // The bytes whose first encoded byte went out are taken; the rest of a doubled 0xFF
        // that went out half stays in `outgoing_` and goes before anything else.
        int taken = 0;
        std::size_t used = 0;
        while (taken < count && used < static_cast<std::size_t>(sent.count)) {
            used += telnet_ && bytes[taken] == telnet::kIac ? 2 : 1;
            ++taken;
        }
        if (used > static_cast<std::size_t>(sent.count)) {
            outgoing_.assign(encoded.begin() + sent.count, encoded.begin() + used);
        }
        return {taken, taken > 0 ? IoStatus::Done : IoStatus::WouldBlock};
    }

    IoResult QueuedInput() override {
        Pump();
        if (input_.empty() && gone_) {
            return {0, IoStatus::Gone};
        }
        return {static_cast<int>(input_.size()), IoStatus::Done};
    }

    IoResult Read(std::uint8_t* buffer, int count) override {
        Pump();
        const int n = std::min(count, static_cast<int>(input_.size()));
        std::copy_n(input_.begin(), n, buffer);
        input_.erase(input_.begin(), input_.begin() + n);
        if (n == 0) {
            return {0, gone_ ? IoStatus::Gone : IoStatus::WouldBlock};
        }
        return {n, IoStatus::Done};
    }

    WaitResult Wait(WaitFor what, TimePoint deadline) override {
        for (;;) {
            if (gone_) {
                return WaitResult::Gone;
            }
            if (what == WaitFor::Input ? !input_.empty() : outgoing_.empty()) {
                return WaitResult::Ready;
            }
            const WaitResult waited = socket_->Wait(what, deadline);
            if (waited != WaitResult::Ready) {
                error_ = socket_->LastError();
                return waited;
            }
            // Readable may mean no more than a Telnet command or a modem-state notice.
            what == WaitFor::Input ? Pump() : static_cast<void>(Flush());
        }
    }

    void DiscardInput() override {
        Pump();
        input_.clear();
        if (!comPort_ || unanswered_.contains(Code(ComPort::PurgeData))) {
            return;
        }
        // The server empties its own buffer of what the line has received and answers; what
        // reaches us before that answer was on its way already and is stale too.
        purging_ = true;
        Request({{ComPort::PurgeData, {telnet::kPurgeReceived}}});
        purging_ = false;
    }

    std::optional<WaitToken> InputToken() override {
        Pump();
        if (!input_.empty() || gone_) {
            return std::nullopt;
        }
        return socket_->InputToken();
    }

    std::error_code LastError() const override { return error_; }

    std::vector<std::string> TakeNotices() override { return std::exchange(notices_, {}); }

  private:
    // Says `text` once for this port, however often it happens.
    void Note(const std::string& text) {
        if (noted_.insert(text).second) {
            notices_.push_back(name_ + " " + text);
        }
    }

    static std::string Ms(std::chrono::milliseconds time) {
        return std::to_string(time.count()) + " ms";
    }

    bool Gone() {
        error_ = socket_->LastError() ? socket_->LastError()
                                      : std::make_error_code(std::errc::connection_reset);
        return false;
    }

    IoResult Lost(const IoResult& result) {
        if (result.status == IoStatus::Gone || result.status == IoStatus::Failed) {
            gone_ = result.status == IoStatus::Gone;
            error_ = socket_->LastError();
        }
        return {0, result.status};
    }

    // Everything the socket holds now, decoded; negotiation answers go back at once.
    void Pump() {
        std::uint8_t chunk[4096];
        while (!gone_) {
            const IoResult got = socket_->Receive(chunk, static_cast<int>(sizeof(chunk)));
            if (got.status != IoStatus::Done) {
                Lost(got);
                return;
            }
            if (!telnet_) {
                input_.insert(input_.end(), chunk, chunk + got.count);
                continue;
            }
            telnet::Bytes data;
            telnet::Bytes answers;
            std::vector<telnet::ComPortMessage> messages;
            codec_.Decode({chunk, static_cast<std::size_t>(got.count)}, data, answers, messages);
            std::size_t kept = 0;
            for (const auto& message : messages) {
                const std::uint8_t command = message.command - telnet::kServerOffset;
                if (message.command < telnet::kServerOffset ||
                    command >= telnet::kComPortCommands) {
                    continue;
                }
                ++answerCount_[command];
                answered_.insert(command);
                lastAnswer_[command] = message.value;
                if (purging_ && command == Code(ComPort::PurgeData)) {
                    kept = message.dataBefore;
                    purging_ = false;
                    input_.clear();
                }
            }
            input_.insert(input_.end(), data.begin() + static_cast<std::ptrdiff_t>(kept),
                          data.end());
            if (purging_) {
                input_.clear();
            }
            if (!answers.empty()) {
                SendAll(answers);
            }
        }
    }

    // Pumps until `done` holds, for kAnswerTime at most; false if it does not by then.
    bool PumpUntil(const std::function<bool()>& done) {
        const TimePoint deadline = Clock::now() + kAnswerTime;
        for (;;) {
            Pump();
            if (done()) {
                return true;
            }
            if (gone_ || socket_->Wait(WaitFor::Input, deadline) != WaitResult::Ready) {
                return false;
            }
        }
    }

    // Sends com-port requests and waits for each command's answers, unless the server has
    // been found not to give them. False only when the connection has gone.
    bool Request(const std::vector<std::pair<ComPort, telnet::Bytes>>& requests) {
        telnet::Bytes out;
        std::map<std::uint8_t, int> awaited;
        for (const auto& [command, value] : requests) {
            telnet::AppendComPort(out, Code(command), value);
            if (!unanswered_.contains(Code(command))) {
                const auto known = awaited.find(Code(command));
                awaited[Code(command)] =
                    (known != awaited.end() ? known->second : answerCount_[Code(command)]) + 1;
            }
        }
        if (!SendAll(out)) {
            return false;
        }
        PumpUntil([&] {
            return std::all_of(awaited.begin(), awaited.end(), [&](const auto& entry) {
                return answerCount_[entry.first] >= entry.second;
            });
        });
        if (gone_) {
            return Gone();
        }
        for (const auto& [command, count] : awaited) {
            if (answerCount_[command] < count) {
                unanswered_.insert(command);
                Note("did not answer " + CommandName(static_cast<ComPort>(command)) + " within " +
                     Ms(kAnswerTime) + ": going on without waiting for it");
            }
        }
        return true;
    }

    // What is left of a write that went out in part; false while some of it still waits.
    bool Flush() {
        while (!outgoing_.empty()) {
            const IoResult sent =
                socket_->Send(outgoing_.data(), static_cast<int>(outgoing_.size()));
            if (sent.status != IoStatus::Done || sent.count == 0) {
                Lost(sent);
                return false;
            }
            outgoing_.erase(outgoing_.begin(), outgoing_.begin() + sent.count);
        }
        return true;
    }

    // Control bytes go whole, within kAnswerTime, after any data still waiting to go.
    bool SendAll(const telnet::Bytes& bytes) {
        outgoing_.insert(outgoing_.end(), bytes.begin(), bytes.end());
        const TimePoint deadline = Clock::now() + kAnswerTime;
        while (!Flush()) {
            if (gone_ || socket_->Wait(WaitFor::Output, deadline) != WaitResult::Ready) {
                error_ = error_ ? error_ : std::make_error_code(std::errc::timed_out);
                return false;
            }
        }
        return true;
    }

    std::string name_;
    bool telnet_;
    std::unique_ptr<Socket> socket_;
    telnet::TelnetCodec codec_{telnet::Role::Client};
    bool comPort_ = false;
    bool gone_ = false;
    bool purging_ = false;
    std::deque<std::uint8_t> input_;
    telnet::Bytes outgoing_;
    std::array<int, telnet::kComPortCommands> answerCount_{};
    std::array<telnet::Bytes, telnet::kComPortCommands> lastAnswer_{};
    std::set<std::uint8_t> answered_;
    std::set<std::uint8_t> unanswered_;
    LineSettings settings_{9600, 8, false, 1, true, false, false};
    std::error_code error_;
    std::vector<std::string> notices_;
    std::set<std::string> noted_;
};

}  // namespace

std::unique_ptr<SerialDevice> OpenNetworkPort(const NetworkAddress& address,
                                              const std::string& name, std::error_code& error) {
    auto socket = Socket::Connect(address.host, address.port, Clock::now() + kConnectTime, error);
    if (!socket) {
        return nullptr;
    }
    auto device = std::make_unique<NetworkSerialDevice>(address, name, std::move(socket));
    if (address.scheme == NetworkScheme::Rfc2217 && !device->Negotiate()) {
        error = device->LastError() ? device->LastError()
                                    : std::make_error_code(std::errc::connection_reset);
        return nullptr;
    }
    return device;
}

}  // namespace glassbench::serial
