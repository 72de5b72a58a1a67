// A serial port at the far end of a TCP connection, behind the same interface as a local
// device.
//
// The connection is a TelnetSession (net/TelnetSession.h), which reads, decodes and writes with
// its bounds; this device adds what a serial port is to its callers. Data that arrives waits in
// `input_` (the receive queue as the link sees it), at most kMaxInput bytes: past that the
// oldest are dropped, counted and told once. Com-port answers are counted per command. A
// request that wants an answer (a setting, the modem lines, a purge) is sent and waited for,
// reading on meanwhile, up to kAnswerTime, or kSlowAnswerTime for a command the server has
// been slow to answer until it answers one again. A write is queued in the session and
// reported as written only as the socket takes it, so a server that reads nothing holds the
// caller at its deadline; there what has not begun to go is given up, as a serial driver's
// write is cancelled. A connection the server closes hands out no more input: bytes that came
// with the close are the server's last words, which the failure quotes, never a reply.
#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <set>
#include <utility>

#include "net/Errors.h"
#include "net/Socket.h"
#include "net/TelnetSession.h"
#include "serial/NetworkPort.h"

namespace glassbench::serial {

namespace {

using net::telnet::ComPort;
namespace telnet = net::telnet;

// Bounds, each a good deal beyond what a well-behaved server needs, and small enough that no
// server can make the tool hold much or spend long in one call:
// - input held for the caller: a reply is 5 bytes and a frame 256; 64 KiB is more than five
//   seconds of a 115200-baud line, longer than any caller leaves the port unread;
// - one pump reads 16 KiB at most, a fraction of a millisecond of work;
// - a write queues 4 KiB at most: a frame, doubled 0xFF bytes and all, is 512 bytes;
// - Telnet bytes waiting to go, beyond what the socket holds: the requests of an open are
//   about 60 bytes; the answers to one pump's requests are 16 KiB at most (each as long as its
//   request), so 64 KiB unsent means the server sends requests and does not read the answers.
constexpr std::size_t kMaxInput = 64 * 1024;
constexpr net::SessionLimits kLimits{16 * 1024, 4 * 1024, 64 * 1024};
// A server's last words, quoted in a failure, at most.
constexpr std::size_t kMaxWords = 80;

constexpr std::uint8_t Code(ComPort command) {
    return static_cast<std::uint8_t>(command);
}

std::string CommandName(std::uint8_t command) {
    switch (static_cast<ComPort>(command)) {
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

std::string Ms(std::chrono::milliseconds time) {
    return std::to_string(time.count()) + " ms";
}

// Bytes as a line of text: printable ASCII as it is, anything else as \xNN, without the line
// ends a server closes its line with.
std::string Printable(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n')) {
        bytes = bytes.first(bytes.size() - 1);
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t b : bytes) {
        if (b >= 0x20 && b < 0x7F) {
            text += static_cast<char>(b);
        } else {
            text += {'\\', 'x', kDigits[b >> 4], kDigits[b & 15]};
        }
    }
    return text;
}

class NetworkSerialDevice final : public SerialDevice, private net::SessionEvents {
  public:
    NetworkSerialDevice(std::unique_ptr<net::ByteStream> stream, NetworkScheme scheme,
                        std::string name)
        : name_(std::move(name)),
          stream_(std::move(stream)),
          session_(*stream_, telnet::Role::Client, FramingOf(scheme), kLimits) {}

    // A server that cannot serve the connection says so and closes it at once (ser2net:
    // "Port's device already in use"), so the tool listens first, for `settle` at most: a raw
    // server says nothing otherwise, and nothing is sent to a Telnet server before it has
    // spoken (access servers make their offer at once), because a server that closes with
    // bytes it has not read resets the connection, and the reset can take its last words with
    // it. Then, on rfc2217, the Telnet options: binary both ways, no go-aheads, and the
    // com-port option, which decides whether this is an RFC 2217 port or a plain Telnet one.
    // False when the connection ended meanwhile.
    bool Start(std::chrono::nanoseconds settle) {
        session_.Hold(true);
        WaitUntil([this] { return session_.IsTelnet() && session_.Received() > 0; },
                  stream_->Now() + settle);
        session_.Hold(false);
        if (session_.Failed()) {
            return Fail();
        }
        if (!session_.IsTelnet()) {
            return true;
        }
        session_.Offer();
        const bool answered =
            WaitUntil([this] { return session_.OfferAnswered(); }, stream_->Now() + kAnswerTime);
        if (session_.Failed()) {
            return Fail();
        }
        comPort_ = session_.ComPortEnabled();
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
        if (session_.Failed()) {
            return Fail();
        }
        settings = settings_;
        return true;
    }

    bool WriteLineSettings(const LineSettings& settings) override {
        settings_ = settings;
        if (!comPort_) {
            if (!session_.IsTelnet()) {
                Note(
                    "is a raw TCP port: it has no speed or modem lines to set, so the speed "
                    "is ignored");
            }
            return !session_.Failed() || Fail();
        }
        const auto baud = telnet::BigEndian32(static_cast<std::uint32_t>(settings.bitsPerSecond));
        const std::uint8_t parity = settings.parity ? telnet::kParityEven : telnet::kParityNone;
        const std::uint8_t stop = settings.stopBits == 2 ? telnet::kStopTwo : telnet::kStopOne;
        const std::vector<Request> requests{
            {ComPort::SetBaudRate, {baud.begin(), baud.end()}},
            {ComPort::SetDataSize, {static_cast<std::uint8_t>(settings.dataBits)}},
            {ComPort::SetParity, {parity}},
            {ComPort::SetStopSize, {stop}},
            {ComPort::SetControl, {telnet::kNoFlowControl}},
        };
        if (!Ask(requests)) {
            return false;
        }
        // The server answers with what it now has; another speed than asked for would put
        // every byte on the line wrong.
        const auto& answer = lastAnswer_[Code(ComPort::SetBaudRate)];
        if (!answer.empty() &&
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
        return Ask({{ComPort::SetControl, {dtrValue}}, {ComPort::SetControl, {rtsValue}}})
                   ? ModemResult::Done
                   : ModemResult::Failed;
    }

    IoResult Write(const std::uint8_t* bytes, int count) override {
        if (session_.Failed()) {
            return Lost();
        }
        // Bytes queued by an earlier call are still on their way: these are the same bytes
        // again, and what has gone of them is reported.
        if (!WriteInFlight() && count > 0) {
            session_.QueueData({bytes, static_cast<std::size_t>(count)});
        }
        session_.Flush();
        if (session_.Failed()) {
            return Lost();
        }
        const std::uint64_t sent = session_.DataSent();
        const auto n = static_cast<int>(sent > reported_ ? sent - reported_ : 0);
        reported_ += static_cast<std::uint64_t>(n);
        return {n, n > 0 ? IoStatus::Done : IoStatus::WouldBlock};
    }

    IoResult QueuedInput() override {
        Pump();
        if (session_.Failed()) {
            return Lost();
        }
        return {static_cast<int>(input_.size()), IoStatus::Done};
    }

    IoResult Read(std::uint8_t* buffer, int count) override {
        Pump();
        if (session_.Failed()) {
            return Lost();
        }
        const int n = std::min(count, static_cast<int>(input_.size()));
        if (n == 0) {
            return {0, IoStatus::WouldBlock};
        }
        std::copy_n(input_.begin(), n, buffer);
        input_.erase(input_.begin(), input_.begin() + n);
        words_.clear();
        return {n, IoStatus::Done};
    }

    WaitResult Wait(WaitFor what, TimePoint deadline) override {
        for (;;) {
            if (session_.Failed()) {
                // Input that came before the end is there to be found, and refused, by a read.
                return what == WaitFor::Input && !input_.empty() ? WaitResult::Ready : Gone();
            }
            if (what == WaitFor::Input ? !input_.empty()
                                       : !WriteInFlight() || session_.DataSent() > reported_) {
                return WaitResult::Ready;
            }
            // A server that never stops sending (a storm of Telnet commands) keeps the socket
            // readable: the deadline is looked at here, not only by a wait that blocks.
            if (stream_->Now() >= deadline) {
                if (what == WaitFor::Output) {
                    GiveUpWrite();
                }
                return WaitResult::TimedOut;
            }
            const bool output = what == WaitFor::Output || session_.HasQueued();
            const WaitResult waited = stream_->Wait(what == WaitFor::Input, output, deadline);
            if (waited == WaitResult::Gone) {
                error_ = stream_->LastError();
                return waited;
            }
            if (waited != WaitResult::Ready) {
                if (what == WaitFor::Output) {
                    GiveUpWrite();
                }
                return waited;
            }
            // Readable may mean no more than a Telnet command or a modem-state notice.
            Pump();
        }
    }

    void DiscardInput() override {
        words_.clear();
        Pump();
        input_.clear();
        if (!comPort_ || session_.Failed()) {
            return;
        }
        // The server empties its own buffer of what the line has received and answers; what
        // reaches us before that answer was on its way already and is stale too, so it is
        // dropped until the answer comes (OnComPort). After the wait it is kept: a server
        // that never answers a purge must not cost every reply.
        dropping_ = true;
        Ask({{ComPort::PurgeData, {telnet::kPurgeReceived}}});
        dropping_ = false;
    }

    std::optional<WaitToken> InputToken() override {
        Pump();
        if (!input_.empty() || session_.Failed()) {
            return std::nullopt;
        }
        return stream_->InputToken();
    }

    std::error_code LastError() const override { return error_; }

    std::string ErrorDetail() const override { return detail_; }

    std::vector<std::string> TakeNotices() override { return std::exchange(notices_, {}); }

  private:
    struct Request {
        ComPort command;
        telnet::Bytes value;
    };

    // Says `text` once for this port, however often it happens.
    void Note(const std::string& text) {
        if (noted_.insert(text).second) {
            notices_.push_back(name_ + " " + text);
        }
    }

    bool WriteInFlight() const { return session_.DataQueued() > reported_; }

    // A write that runs out of time, or is stopped: what has not begun to go is thrown away,
    // as a serial driver's write is cancelled, and the next write is a new one.
    void GiveUpWrite() {
        session_.DropUnsentData();
        reported_ = std::max(reported_, session_.DataQueued());
    }

    // The session's failure as the device's: its reason, and the server's last words when it
    // ended the connection, read to the end first. A server that closes while bytes of ours are
    // unread resets the connection instead of closing it: with words before it, that is the
    // server closing all the same. Always false.
    bool Fail() {
        session_.Pump(*this);
        error_ = session_.Error();
        const bool ended = error_ == net::Error::ClosedByPeer ||
                           error_ == std::errc::connection_reset ||
                           error_ == std::errc::broken_pipe;
        const std::string text = Printable(words_);
        detail_.clear();
        if (ended && !text.empty()) {
            detail_ = "the server closed the connection (\"" + text.substr(0, kMaxWords) +
                      (text.size() > kMaxWords ? "..." : "") + "\")";
        }
        return false;
    }

    IoResult Lost() {
        Fail();
        const bool gone = error_ != net::Error::PeerReadsNothing;
        return {0, gone ? IoStatus::Gone : IoStatus::Failed};
    }

    WaitResult Gone() {
        Fail();
        return WaitResult::Gone;
    }

    void Pump() { session_.Pump(*this); }

    void OnData(std::span<const std::uint8_t> data) override {
        if (words_.size() < kMaxWords + 1) {
            words_.insert(words_.end(), data.begin(),
                          data.begin() + static_cast<std::ptrdiff_t>(
                                             std::min(data.size(), kMaxWords + 1 - words_.size())));
        }
        if (dropping_) {
            return;
        }
        input_.insert(input_.end(), data.begin(), data.end());
        if (input_.size() > kMaxInput) {
            const std::size_t excess = input_.size() - kMaxInput;
            input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(excess));
            if (droppedInput_ == 0) {
                Note("sent more than " + std::to_string(kMaxInput / 1024) +
                     " KiB before it was read: the oldest bytes are dropped");
            }
            droppedInput_ += excess;
        }
    }

    void OnComPort(const telnet::ComPortMessage& message) override {
        if (message.command < telnet::kServerOffset ||
            message.command - telnet::kServerOffset >= telnet::kComPortCommands) {
            return;  // a client's command, or none RFC 2217 has: nothing a client takes
        }
        const std::uint8_t command = message.command - telnet::kServerOffset;
        ++answered_[command];
        slow_[command] = false;
        lastAnswer_[command] = message.value;
        if (command == Code(ComPort::PurgeData)) {
            // Whatever came before a purge's answer, in time or late, left the server before
            // the purge did: stale.
            input_.clear();
        }
    }

    // Pumps until `done` holds or the deadline passes, sending what waits to go meanwhile;
    // false if `done` does not hold by then. A stop request ends it as the deadline does.
    bool WaitUntil(const std::function<bool()>& done, TimePoint deadline) {
        for (;;) {
            Pump();
            if (done()) {
                return true;
            }
            // As in Wait: a socket that is always readable ends no wait by itself.
            if (session_.Failed() || stream_->Now() >= deadline ||
                stream_->Wait(true, session_.HasQueued(), deadline) != WaitResult::Ready) {
                return false;
            }
        }
    }

    // Sends com-port requests and waits for each command's answers. False only when the
    // connection has ended or failed.
    bool Ask(const std::vector<Request>& requests) {
        std::array<int, telnet::kComPortCommands> awaited{};
        bool slow = true;
        for (const Request& r : requests) {
            const std::uint8_t command = Code(r.command);
            if (!session_.SendComPort(command, r.value)) {
                return Fail();
            }
            awaited[command] = ++asked_[command];
            slow = slow && slow_[command];
        }
        const auto allAnswered = [&] {
            for (std::size_t c = 0; c < awaited.size(); ++c) {
                if (answered_[c] < awaited[c]) {
                    return false;
                }
            }
            return true;
        };
        const auto wait = slow ? kSlowAnswerTime : kAnswerTime;
        WaitUntil(allAnswered, stream_->Now() + wait);
        if (session_.Failed()) {
            return Fail();
        }
        for (std::size_t c = 0; c < awaited.size(); ++c) {
            if (answered_[c] < awaited[c]) {
                slow_[c] = true;
                Note("did not answer " + CommandName(static_cast<std::uint8_t>(c)) + " within " +
                     Ms(kAnswerTime) + ": waiting " + Ms(kSlowAnswerTime) +
                     " for it until it answers again");
            }
        }
        return true;
    }

    std::string name_;
    std::unique_ptr<net::ByteStream> stream_;
    net::TelnetSession session_;
    bool comPort_ = false;
    bool dropping_ = false;
    std::deque<std::uint8_t> input_;
    std::uint64_t droppedInput_ = 0;
    // Data bytes of the session's that the caller has been told went out.
    std::uint64_t reported_ = 0;
    // Data since the caller last took any: what a server said before it closed.
    std::vector<std::uint8_t> words_;
    std::array<int, telnet::kComPortCommands> asked_{};
    std::array<int, telnet::kComPortCommands> answered_{};
    std::array<bool, telnet::kComPortCommands> slow_{};
    std::array<telnet::Bytes, telnet::kComPortCommands> lastAnswer_{};
    LineSettings settings_{9600, 8, false, 1, true, false, false};
    std::error_code error_;
    std::string detail_;
    std::vector<std::string> notices_;
    std::set<std::string> noted_;
};

}  // namespace

std::unique_ptr<SerialDevice> StartNetworkPort(std::unique_ptr<net::ByteStream> stream,
                                               NetworkScheme scheme, const std::string& name,
                                               std::chrono::nanoseconds settle,
                                               std::error_code& error, std::string& detail) {
    auto device = std::make_unique<NetworkSerialDevice>(std::move(stream), scheme, name);
    if (!device->Start(settle)) {
        error = device->LastError();
        detail = device->ErrorDetail();
        return nullptr;
    }
    return device;
}

std::unique_ptr<SerialDevice> OpenNetworkPort(const NetworkAddress& address,
                                              const std::string& name, StopToken stop,
                                              std::error_code& error, std::string& detail) {
    const TimePoint start = Clock::now();
    auto socket =
        net::Socket::Connect(address.host, address.port, start + kConnectTime, stop, error);
    if (!socket) {
        return nullptr;
    }
    // A server that cannot serve a raw connection says so about one round trip after the
    // connect has ended, which itself took about one: twice the connect's time, and a margin
    // for a busy server, is enough; never more than kAnswerTime.
    const auto settle = std::min<std::chrono::nanoseconds>(
        2 * (Clock::now() - start) + std::chrono::milliseconds(50), kAnswerTime);
    return StartNetworkPort(std::move(socket), address.scheme, name, settle, error, detail);
}

}  // namespace glassbench::serial
