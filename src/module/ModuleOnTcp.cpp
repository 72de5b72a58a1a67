// The virtual module on TCP, on every system, through the serial library's socket seam.
//
// It listens on exactly the address it was given and serves one client at a time: a second
// connection is accepted and closed at once, as a serial port that one program holds cannot
// be opened by another; the first keeps the module. One wait (WaitForAny) watches the stop
// request, the listening socket and the client.
//
// On socket:// the bytes are the line's bytes. On rfc2217:// the module is an access server:
// it offers binary transfer both ways and no go-aheads, takes the client's COM-PORT-OPTION,
// and answers every com-port request with the value now in effect (the request's command plus
// 100), as RFC 2217 asks. The line it pretends to have starts at 9600 baud, 8N1, no flow
// control, DTR and RTS on, for each client anew, and takes whatever the client sets; wire
// timing follows it. A raw socket:// client can set nothing, so there the line stays at
// 9600 baud 8N1. What the module sends goes through one queue of encoded bytes, so a client
// that reads slowly never sees a com-port answer or a doubled 0xFF cut in two.
#include <algorithm>
#include <array>
#include <ostream>
#include <utility>
#include <vector>

#include "module/ModuleCore.h"
#include "module/ModulePlatform.h"
#include "serial/Socket.h"
#include "serial/Telnet.h"

namespace glassbench::module {

namespace {

using serial::IoStatus;
using serial::Socket;
using serial::telnet::ComPort;
using serial::telnet::Option;
namespace telnet = serial::telnet;

constexpr std::uint32_t kStartSpeed = 9600;
// Encoded bytes waiting for a client that does not read; past this the client is dropped.
constexpr std::size_t kMaxPending = 64 * 1024;
constexpr std::string_view kSignature = "Glassbench virtual module";
// The modem lines the module shows its client: CTS, DSR and CD on, as a module that is there
// and ready; they never change.
constexpr std::uint8_t kModemState = 0x10 | 0x20 | 0x80;

// SET-PARITY's and SET-STOPSIZE's values: NONE, ODD, EVEN, MARK, SPACE; 1, 2, 1.5 bits.
constexpr std::uint8_t kParitySpace = 5;
constexpr std::uint8_t kStopOneAndHalf = 3;

// SET-CONTROL's values, 0 to 19: which setting each one asks about or sets. Each setting's
// row begins with the value that asks (0, 4, 7, 10, 13); then flow control none, XON/XOFF,
// hardware; break, DTR and RTS on and off.
enum ControlSetting : std::uint8_t { OutboundFlow, Break, Dtr, Rts, InboundFlow, kSettings };
struct ControlValue {
    ControlSetting setting;
    bool asks;  // asks for the setting's value, sets nothing
};
// clang-format off
constexpr std::array<ControlValue, 20> kControlValues{{
    {OutboundFlow, true}, {OutboundFlow, false}, {OutboundFlow, false}, {OutboundFlow, false},
    {Break, true}, {Break, false}, {Break, false},
    {Dtr, true}, {Dtr, false}, {Dtr, false},
    {Rts, true}, {Rts, false}, {Rts, false},
    {InboundFlow, true}, {InboundFlow, false}, {InboundFlow, false}, {InboundFlow, false},
    {OutboundFlow, false}, {InboundFlow, false}, {OutboundFlow, false},  // DCD, DTR, DSR flow
}};
// clang-format on

// The line as a port the tool has just opened has it: no flow control, no break, DTR and RTS
// on.
struct LineSettings {
    std::uint32_t speed = kStartSpeed;
    std::uint8_t dataSize = 8;
    std::uint8_t parity = telnet::kParityNone;
    std::uint8_t stopSize = telnet::kStopOne;
    std::array<std::uint8_t, kSettings> controls{1, 6, telnet::kDtrOn, telnet::kRtsOn, 14};
    std::uint8_t modemStateMask = 255;  // RFC 2217's default

    // Start, data bits, parity and stop bits at the speed.
    std::chrono::nanoseconds CharacterTime() const {
        const int halfBits = 2 * (1 + dataSize + (parity != telnet::kParityNone ? 1 : 0)) +
                             (stopSize == telnet::kStopTwo  ? 4
                              : stopSize == kStopOneAndHalf ? 3
                                                            : 2);
        return std::chrono::nanoseconds{halfBits * 1'000'000'000LL / (2LL * speed)};
    }
};

telnet::Bytes Text(std::string_view text) {
    return {text.begin(), text.end()};
}

// One client's connection, and the line it sees through it.
class Connection {
  public:
    Connection(std::unique_ptr<Socket> socket, bool rfc2217, std::ostream& out)
        : socket_(std::move(socket)), rfc2217_(rfc2217), out_(out) {
        if (rfc2217_) {
            telnet::Bytes offer;
            codec_.RequestLocal(Option::Binary, offer);
            codec_.RequestRemote(Option::Binary, offer);
            codec_.RequestLocal(Option::SuppressGoAhead, offer);
            codec_.RequestRemote(Option::SuppressGoAhead, offer);
            SendControl(offer);
        }
    }

    serial::WaitToken Token() { return socket_->InputToken(); }
    serial::WaitToken OutputToken() { return socket_->OutputToken(); }
    const LineSettings& Line() const { return line_; }
    // Bytes the socket has not taken yet: sent again at the next turn.
    bool Pending() const { return !pending_.empty(); }

    // Everything the client has sent, handed on in order; false once the client has gone, or
    // has let too much pile up unread.
    bool Pump(ModuleCore& core) {
        std::uint8_t chunk[4096];
        for (;;) {
            if (!Flush()) {
                return false;
            }
            const serial::IoResult got = socket_->Receive(chunk, static_cast<int>(sizeof(chunk)));
            if (got.status == IoStatus::WouldBlock) {
                return true;
            }
            if (got.status != IoStatus::Done) {
                return false;
            }
            if (!rfc2217_) {
                core.Receive({chunk, static_cast<std::size_t>(got.count)});
                continue;
            }
            telnet::Bytes data;
            telnet::Bytes answers;
            std::vector<telnet::ComPortMessage> messages;
            codec_.Decode({chunk, static_cast<std::size_t>(got.count)}, data, answers, messages);
            SendControl(answers);
            if (!notified_ && codec_.RemoteEnabled(Option::ComPort)) {
                // Clients read the modem lines from the server's notices; this one is the
                // only one, as the lines never change.
                notified_ = true;
                Answer(ComPort::NotifyModemState, {ModemState()});
            }
            // A setting applies from where it stood among the data.
            std::size_t from = 0;
            for (const auto& message : messages) {
                core.Receive(std::span(data).subspan(from, message.dataBefore - from));
                from = message.dataBefore;
                OnComPort(message);
            }
            core.Receive(std::span(data).subspan(from));
        }
    }

    // Answer bytes, held back while the client has suspended them; false when too many wait.
    bool Write(std::span<const std::uint8_t> bytes) {
        telnet::Bytes& queue = suspended_ ? held_ : pending_;
        if (queue.size() + 2 * bytes.size() > kMaxPending) {
            return false;
        }
        if (rfc2217_) {
            telnet::AppendData(queue, bytes);
        } else {
            queue.insert(queue.end(), bytes.begin(), bytes.end());
        }
        Flush();
        return true;
    }

  private:
    // Sends what is queued, as far as the socket takes it; false when the client has gone or
    // has let too much pile up.
    bool Flush() {
        while (!pending_.empty()) {
            const serial::IoResult sent =
                socket_->Send(pending_.data(), static_cast<int>(pending_.size()));
            if (sent.status == IoStatus::WouldBlock) {
                break;
            }
            if (sent.status != IoStatus::Done) {
                return false;
            }
            pending_.erase(pending_.begin(), pending_.begin() + sent.count);
        }
        return pending_.size() <= kMaxPending;
    }

    void SendControl(const telnet::Bytes& bytes) {
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        Flush();
    }

    void Answer(ComPort command, const telnet::Bytes& value) {
        telnet::Bytes out;
        telnet::AppendComPort(out, static_cast<std::uint8_t>(command) + telnet::kServerOffset,
                              value);
        SendControl(out);
    }

    // A value from `lowest` to `highest` is taken; anything else (0 asks) leaves the setting.
    static std::uint8_t Take(std::uint8_t& setting, const telnet::Bytes& value, int lowest,
                             int highest) {
        if (value.size() == 1 && value[0] >= lowest && value[0] <= highest) {
            setting = value[0];
        }
        return setting;
    }

    void OnComPort(const telnet::ComPortMessage& message) {
        const telnet::Bytes& value = message.value;
        const std::uint8_t first = value.empty() ? 0 : value[0];
        const auto command = static_cast<ComPort>(message.command);
        switch (command) {
            case ComPort::Signature:
                // With text it is the client's own signature; without, it asks for ours.
                if (value.empty()) {
                    Answer(command, Text(kSignature));
                }
                return;
            case ComPort::SetBaudRate: {
                const std::uint32_t speed = telnet::ReadBigEndian32(value);
                if (value.size() == 4 && speed != 0 && speed != line_.speed) {
                    line_.speed = speed;
                    out_ << "speed: " << speed << " baud" << std::endl;
                }
                const auto answer = telnet::BigEndian32(line_.speed);
                Answer(command, {answer.begin(), answer.end()});
                return;
            }
            case ComPort::SetDataSize:
                Answer(command, {Take(line_.dataSize, value, 5, 8)});
                return;
            case ComPort::SetParity:
                Answer(command, {Take(line_.parity, value, telnet::kParityNone, kParitySpace)});
                return;
            case ComPort::SetStopSize:
                Answer(command, {Take(line_.stopSize, value, telnet::kStopOne, kStopOneAndHalf)});
                return;
            case ComPort::SetControl:
                if (value.size() == 1 && first < kControlValues.size()) {
                    Answer(command, {ApplyControl(first)});
                }
                return;
            // Asked for, the line's and the modem's state as they are: the module has no line
            // errors.
            case ComPort::NotifyLineState:
                Answer(command, {0});
                return;
            case ComPort::NotifyModemState:
                Answer(command, {ModemState()});
                return;
            case ComPort::FlowControlSuspend:
                suspended_ = true;
                return;
            case ComPort::FlowControlResume:
                suspended_ = false;
                pending_.insert(pending_.end(), held_.begin(), held_.end());
                held_.clear();
                Flush();
                return;
            case ComPort::SetLineStateMask:
                // The line state is never anything but 0.
                Answer(command, {first});
                return;
            case ComPort::SetModemStateMask:
                line_.modemStateMask = first;
                Answer(command, {first});
                return;
            case ComPort::PurgeData:
                // The module hands on what it sends at once, and has taken everything the
                // client sent: neither buffer holds anything to throw away.
                if (first >= 1 && first <= 3) {
                    Answer(command, {first});
                }
                return;
        }
        // Answers (a client sends none) and commands RFC 2217 does not have are dropped.
    }

    std::uint8_t ModemState() const {
        return static_cast<std::uint8_t>(kModemState & line_.modemStateMask);
    }

    // Sets or reports one of SET-CONTROL's settings; the value in effect answers. A change of
    // DTR or RTS prints one line.
    std::uint8_t ApplyControl(std::uint8_t value) {
        const ControlValue row = kControlValues[value];
        std::uint8_t& setting = line_.controls[row.setting];
        if (!row.asks && setting != value) {
            setting = value;
            if (row.setting == Dtr || row.setting == Rts) {
                const bool high = value == telnet::kDtrOn || value == telnet::kRtsOn;
                out_ << "modem line: " << (row.setting == Dtr ? "DTR" : "RTS")
                     << (high ? " high" : " low") << std::endl;
            }
        }
        return setting;
    }

    std::unique_ptr<Socket> socket_;
    bool rfc2217_;
    std::ostream& out_;
    telnet::TelnetCodec codec_{telnet::Role::Server};
    LineSettings line_;
    telnet::Bytes pending_;  // encoded, in order, for the socket
    telnet::Bytes held_;     // encoded answer bytes the client has suspended
    bool suspended_ = false;
    bool notified_ = false;  // the modem state told
};

// The listening socket and the one client, as the line the core is on.
class Server final : public ModuleLine {
  public:
    Server(std::unique_ptr<Socket> listener, bool rfc2217, std::ostream& out)
        : listener_(std::move(listener)), rfc2217_(rfc2217), out_(out) {}

    void Run(ModuleCore& core, const serial::StopRequest& stop) {
        for (;;) {
            core.Tick();
            const std::optional<TimePoint> wake = core.NextWake();
            std::vector<serial::WaitToken> tokens{stop.Token(), listener_->InputToken()};
            // A client that reads nothing fills its socket; what it has not taken goes when
            // the socket has room again.
            std::vector<serial::WaitToken> writable;
            if (client_) {
                tokens.push_back(client_->Token());
                if (client_->Pending()) {
                    writable.push_back(client_->OutputToken());
                }
            }
            serial::WaitForAny(tokens, wake.value_or(Clock::now() + std::chrono::hours(24)),
                               writable);
            if (stop.Requested()) {
                return;
            }
            // Every socket is non-blocking: one with nothing for us costs one call.
            ServeClient(core);
            AcceptWaiting(core);
        }
    }

    std::chrono::nanoseconds CharacterTime() override {
        return client_ ? client_->Line().CharacterTime() : LineSettings{}.CharacterTime();
    }

    bool Write(std::span<const std::uint8_t> bytes) override {
        return client_ && client_->Write(bytes);
    }

  private:
    // Hands on what the client has sent; notices when it has gone.
    void ServeClient(ModuleCore& core) {
        if (client_ && !client_->Pump(core)) {
            client_.reset();
            core.PeerGone();
            out_ << "module: client gone" << std::endl;
        }
    }

    void AcceptWaiting(ModuleCore& core) {
        std::error_code error;
        while (auto accepted = listener_->Accept(error)) {
            // A client that closed and connected again at once (a port reopened) has its old
            // connection's end waiting there: it is read first.
            ServeClient(core);
            if (client_) {
                out_ << "module: refused a second client: one at a time" << std::endl;
                continue;
            }
            out_ << "module: client connected" << std::endl;
            client_ = std::make_unique<Connection>(std::move(accepted), rfc2217_, out_);
        }
    }

    std::unique_ptr<Socket> listener_;
    bool rfc2217_;
    std::ostream& out_;
    std::unique_ptr<Connection> client_;
};

}  // namespace

int ServeOnTcp(const ModuleOptions& options, const serial::StopRequest& stop, std::ostream& out,
               std::ostream& err) {
    const serial::NetworkAddress& address = *options.listen;
    std::error_code error;
    auto listener = Socket::Listen(address.host, address.port, error);
    if (!listener) {
        err << "glassbench-cli module: cannot listen on " << serial::FormatNetworkPortName(address)
            << ": " << error.message() << "\n";
        return 1;
    }
    serial::NetworkAddress bound = address;
    bound.port = listener->LocalPort();
    out << "module: listening on " << serial::FormatNetworkPortName(bound) << std::endl;

    Server server(std::move(listener), address.scheme == serial::NetworkScheme::Rfc2217, out);
    ModuleCore core(options, server, out);
    server.Run(core, stop);
    return 0;
}

}  // namespace glassbench::module
