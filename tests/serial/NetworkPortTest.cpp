// The link on a network port over real sockets, against a scripted RFC 2217 access server on a
// loopback port in a thread of the test: what the tool asks of a server (the speed and 8N1, the
// pulse, a purge before each frame) and how a reply's 0xFF comes back single; a connection
// that is never taken; a wait over both ways of a socket. What the port does with servers that
// misbehave is NetworkDeviceTest's, on scripted streams. Built for Linux and for Windows (run
// under Wine, through Winsock).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "LineSink.h"
#include "TestHex.h"
#include "net/Socket.h"
#include "net/Telnet.h"
#include "net/Wakeup.h"
#include "serial/Exchange.h"
#include "serial/NetworkPort.h"
#include "serial/SerialLink.h"
#include "serial/StopRequest.h"

namespace glassbench::serial {
namespace {

using namespace std::chrono_literals;
using glassbench::testing::Hex;
using net::Socket;
namespace telnet = net::telnet;
using telnet::Bytes;

// What the server saw: "SET-CONTROL 08" lines for com-port requests, "data AA 04 ..." for data,
// each with its moment.
struct Seen {
    std::string what;
    TimePoint at;
};

class ScriptedServer {
  public:
    // `reply`: sent, as data, for every frame of five bytes.
    explicit ScriptedServer(Bytes reply) : reply_(std::move(reply)) {
        listener_ = Socket::Listen("127.0.0.1", 0, error_);
        if (listener_) {
            thread_ = std::thread([this] { Serve(); });
        }
    }
    // Whether it listens; the reason when not.
    bool Listening() const { return listener_ != nullptr; }
    std::string Error() const { return error_.message(); }
    ~ScriptedServer() { Join(); }

    std::string Name(const char* scheme = "rfc2217") const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(listener_->LocalPort());
    }
    // Waits for the server to see the client go; what it saw is complete after this.
    const std::vector<Seen>& Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return seen_;
    }

  private:
    void Serve() {
        std::error_code error;
        const TimePoint deadline = Clock::now() + 30s;
        std::unique_ptr<Socket> client;
        while (!client && listener_->Wait(WaitFor::Input, deadline) == WaitResult::Ready) {
            client = listener_->Accept(error);
        }
        if (!client) {
            return;
        }
        telnet::TelnetCodec codec(telnet::Role::Server);
        int dataBytes = 0;
        std::uint8_t chunk[1024];
        while (client->Wait(WaitFor::Input, deadline) == WaitResult::Ready) {
            const IoResult got = client->Receive(chunk);
            if (got.status == IoStatus::WouldBlock) {
                continue;
            }
            if (got.status != IoStatus::Done) {
                return;  // the client has gone
            }
            Bytes data;
            Bytes out;
            std::vector<telnet::ComPortMessage> messages;
            codec.Decode({chunk, static_cast<std::size_t>(got.count)}, data, out, messages);
            for (const auto& m : messages) {
                seen_.push_back({Request(m), Clock::now()});
                telnet::AppendComPort(out, m.command + telnet::kServerOffset, m.value);
            }
            if (!data.empty()) {
                seen_.push_back({"data " + Hex(data), Clock::now()});
                dataBytes += static_cast<int>(data.size());
                for (; dataBytes >= 5; dataBytes -= 5) {
                    // The line's and the modem's state come unasked, as a server's notices
                    // do; none of it is reply.
                    const std::uint8_t lineState = 0x60;
                    const std::uint8_t modemState = 0x30;
                    telnet::AppendComPort(out, 106, {&lineState, 1});
                    telnet::AppendData(out, reply_);
                    telnet::AppendComPort(out, 107, {&modemState, 1});
                }
            }
            if (!out.empty()) {
                client->Send(out);
            }
        }
    }

    static std::string Request(const telnet::ComPortMessage& m) {
        static const char* const names[] = {"SIGNATURE",  "SET-BAUDRATE", "SET-DATASIZE",
                                            "SET-PARITY", "SET-STOPSIZE", "SET-CONTROL"};
        const std::string name = m.command < 6     ? names[m.command]
                                 : m.command == 12 ? "PURGE-DATA"
                                                   : "command " + std::to_string(m.command);
        if (m.command == 1) {
            return name + " " + std::to_string(telnet::ReadBigEndian32(m.value));
        }
        return name + " " + Hex(m.value);
    }

    Bytes reply_;
    std::error_code error_;
    std::unique_ptr<Socket> listener_;
    std::vector<Seen> seen_;
    std::thread thread_;
};

std::vector<std::string> What(const std::vector<Seen>& seen) {
    std::vector<std::string> what;
    for (const Seen& s : seen) {
        what.push_back(s.what);
    }
    return what;
}

const Bytes kClear{0xAA, 0x04, 0x80, 0x00, 0x2E};

TEST(NetworkPortTest, AsksForTheSpeedPulsesAndPurgesBeforeEachFrame) {
    ScriptedServer server({0xAA, 0x04, 0x80, 0xFF, 0x2D});
    ASSERT_TRUE(server.Listening()) << server.Error();
    LineSink sink;
    SerialLink link(CreatePlatformSerialSystem(), BuildPortNameTable(server.Name()), &sink);
    ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0) << link.LastOpenError().message();
    const StopRequest stop;
    PulseModemLines(link, true, true,
                    [&](std::chrono::milliseconds pause) { stop.WaitUntil(Clock::now() + pause); });
    for (int i = 0; i < 2; ++i) {
        protocol::CommandFrame frame{};
        std::copy(kClear.begin(), kClear.end(), frame.begin());
        const ExchangeResult result = Exchange(link, frame, 5);
        EXPECT_TRUE(result.Sent());
        EXPECT_TRUE(result.replied);
        // The reply's 0xFF crossed doubled and arrives once.
        EXPECT_EQ(Hex(frame.data() + protocol::kReplyOffset, 5), "AA 04 80 FF 2D");
    }
    link.OpenPort(30, 6, nullptr);  // releases the port: the server sees the client go
    const std::vector<Seen>& seen = server.Join();
    EXPECT_EQ(What(seen),
              (std::vector<std::string>{
                  "SET-BAUDRATE 115200", "SET-DATASIZE 08", "SET-PARITY 01", "SET-STOPSIZE 01",
                  "SET-CONTROL 01",                    // no flow control
                  "SET-CONTROL 08", "SET-CONTROL 0B",  // DTR and RTS on with the open
                  "SET-CONTROL 09", "SET-CONTROL 0C",  // both low for the pulse ...
                  "SET-CONTROL 08", "SET-CONTROL 0B",  // ... and high a second later
                  "PURGE-DATA 01", "data AA 04 80 00 2E", "PURGE-DATA 01", "data AA 04 80 00 2E"}));
    ASSERT_EQ(seen.size(), 15u);
    EXPECT_GE(seen[9].at - seen[8].at, kModemPulse);
    EXPECT_TRUE(sink.lines.empty());
}

TEST(NetworkPortTest, NamesThatDoNotParseAndPortsNobodyListensOnDoNotOpen) {
    std::error_code error;
    auto listener = Socket::Listen("127.0.0.1", 0, error);
    ASSERT_NE(listener, nullptr) << error.message();
    // A port that was free a moment ago, and is closed now: nobody listens there.
    const std::string closed = "socket://127.0.0.1:" + std::to_string(listener->LocalPort());
    listener.reset();
    for (const std::string& name : {std::string("rfc2217://127.0.0.1"), closed}) {
        SCOPED_TRACE(name);
        SerialLink link(CreatePlatformSerialSystem(), BuildPortNameTable(name));
        EXPECT_EQ(link.OpenPort(0, 3, nullptr), 1);
        EXPECT_TRUE(link.LastOpenError());
    }
}

// A server that never takes the connection (its queue of connections full, so the system
// drops the attempt, as it does for a host that does not answer) ends the open at its bound,
// and so does a stop request, at once.
TEST(NetworkPortTest, AConnectionNeverTakenEndsTheOpenAtItsBound) {
    std::error_code error;
    auto listener = Socket::Listen("127.0.0.1", 0, error);
    ASSERT_NE(listener, nullptr) << error.message();
    const std::uint16_t port = listener->LocalPort();
    std::vector<std::unique_ptr<Socket>> waiting;
    for (int i = 0; i < 64; ++i) {
        auto client = Socket::Connect("127.0.0.1", port, Clock::now() + 300ms, std::nullopt, error);
        if (!client) {
            break;
        }
        waiting.push_back(std::move(client));
    }
    if (error == std::errc::connection_refused) {
        // Windows refuses a connection past a full listen queue at once; Linux (Wine's too)
        // leaves it waiting, as a host that does not answer does.
        GTEST_SKIP() << "this system refuses what it cannot queue: no connect is left waiting";
    }
    ASSERT_EQ(error, std::errc::timed_out) << error.message();
    SerialLink link(CreatePlatformSerialSystem(),
                    BuildPortNameTable("rfc2217://127.0.0.1:" + std::to_string(port)));
    const TimePoint start = Clock::now();
    EXPECT_EQ(link.OpenPort(0, 3, nullptr), 1);
    EXPECT_EQ(link.LastOpenError(), std::errc::timed_out) << link.LastOpenError().message();
    EXPECT_GE(Clock::now() - start, kConnectTime);

    net::Wakeup stop;
    stop.Raise();
    SerialLink stopped(CreatePlatformSerialSystem(stop.Token()),
                       BuildPortNameTable("rfc2217://127.0.0.1:" + std::to_string(port)));
    const TimePoint asked = Clock::now();
    EXPECT_EQ(stopped.OpenPort(0, 3, nullptr), 1);
    EXPECT_EQ(stopped.LastOpenError(), std::errc::operation_canceled)
        << stopped.LastOpenError().message();
    EXPECT_LT(Clock::now() - asked, kConnectTime);
}

// A peer that reads nothing fills the socket. A wait over both ways (the module's, with bytes
// the socket has not taken yet) ends for input from that peer and, once the peer reads, for
// room; and not while neither is there, also after the input has been taken. On Windows both
// tokens are the socket's one event, which the wait takes once.
TEST(NetworkPortTest, AWaitOverBothWaysEndsForWhicheverComes) {
    std::error_code error;
    auto listener = Socket::Listen("127.0.0.1", 0, error);
    ASSERT_NE(listener, nullptr) << error.message();
    const TimePoint deadline = Clock::now() + 20s;
    auto client =
        Socket::Connect("127.0.0.1", listener->LocalPort(), deadline, std::nullopt, error);
    ASSERT_NE(client, nullptr) << error.message();
    ASSERT_EQ(listener->Wait(WaitFor::Input, deadline), WaitResult::Ready);
    auto server = listener->Accept(error);
    ASSERT_NE(server, nullptr) << error.message();

    const std::vector<std::uint8_t> block(64 * 1024, 0xFF);
    std::size_t sent = 0;
    const auto waitBothWays = [&](TimePoint until) {
        const WaitToken input = client->InputToken(), output = client->OutputToken();
        return WaitForAny({&input, 1}, until, {&output, 1}).has_value();
    };
    // Full: bytes still on their way into the peer's buffer as a send would block, and the
    // acknowledgements of any that the peer's own sends carry, free room again, so the client
    // sends until none is left.
    // True once neither way is ready; false if one stays ready however much is sent.
    const auto fill = [&] {
        for (int round = 0; round < 1000; ++round) {
            for (IoResult r; r.status == IoStatus::Done;) {
                r = client->Send(block);
                sent += r.status == IoStatus::Done ? static_cast<std::size_t>(r.count) : 0;
            }
            if (!waitBothWays(Clock::now())) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(fill());

    const std::uint8_t byte = 0x5A;
    ASSERT_EQ(server->Send({&byte, 1}).count, 1);
    EXPECT_TRUE(waitBothWays(deadline));
    std::uint8_t got = 0;
    EXPECT_EQ(client->Receive({&got, 1}).count, 1);
    EXPECT_EQ(got, byte);
    EXPECT_TRUE(fill());  // the input taken, its token is no longer ready

    std::vector<std::uint8_t> buffer(block.size());
    for (std::size_t read = 0; read < sent;) {
        ASSERT_EQ(server->Wait(WaitFor::Input, deadline), WaitResult::Ready) << read << "/" << sent;
        const IoResult r = server->Receive(buffer);
        ASSERT_NE(r.status, IoStatus::Gone);
        read += r.status == IoStatus::Done ? static_cast<std::size_t>(r.count) : 0;
    }
    EXPECT_TRUE(waitBothWays(deadline));
    EXPECT_EQ(client->Send({block.data(), 1}).status, IoStatus::Done);
}

}  // namespace
}  // namespace glassbench::serial
