// The network port (NetworkSerialDevice) under the link, on scripted streams: servers that stop
// reading, flood, storm, answer late, close at the open or in the middle of an exchange, say
// they are busy, or take half of a doubled 0xFF. Each case runs on the stream's own clock, so
// deadlines and waits are exact and a run takes no time.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "LineSink.h"
#include "ScriptedStream.h"
#include "TestHex.h"
#include "net/Errors.h"
#include "net/Telnet.h"
#include "serial/Exchange.h"
#include "serial/NetworkPort.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {
namespace {

using namespace std::chrono_literals;
using glassbench::testing::Hex;
using glassbench::testing::ScriptedStream;
namespace telnet = net::telnet;
using Bytes = std::vector<std::uint8_t>;

const Bytes kClear{0xAA, 0x04, 0x80, 0x00, 0x2E};
const Bytes kReply{0xAA, 0x04, 0x80, 0x00, 0x2E};
constexpr auto kSettle = 50ms;

// The one port of a SerialSystem, on a scripted stream the test keeps; the port's device has
// a view of it, and may be opened once.
struct ScriptedPort {
    ScriptedStream stream;
    bool opened = false;
};

class ScriptedSystem final : public SerialSystem {
  public:
    ScriptedSystem(ScriptedPort& port, NetworkScheme scheme) : port_(port), scheme_(scheme) {}

    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        if (std::exchange(port_.opened, true)) {
            error = std::make_error_code(std::errc::device_or_resource_busy);
            return nullptr;
        }
        return StartNetworkPort(
            std::make_unique<glassbench::testing::ScriptedStreamView>(port_.stream), scheme_, name,
            kSettle, error, detail_);
    }
    std::string LastOpenDetail() const override { return detail_; }
    bool DeviceExists(const std::string&) override { return true; }
    TimePoint Now() override { return port_.stream.Now(); }

  private:
    ScriptedPort& port_;
    NetworkScheme scheme_;
    std::string detail_;
};

// An access server's side, scripted on the stream: the option offer, each com-port request
// answered after `answerAfter` (nullopt: never), and for each frame of five bytes what
// `onFrame` sends. It sees what the tool sends as the stream takes it.
struct ServerScript {
    std::function<std::optional<std::chrono::milliseconds>(std::uint8_t command, int nth)>
        answerAfter = [](std::uint8_t, int) { return std::optional(0ms); };
    std::function<void(ScriptedStream&, int frame)> onFrame = [](ScriptedStream& s, int) {
        Bytes out;
        telnet::AppendData(out, kReply);
        s.SendNow(out);
    };
};

class AccessServerScript {
  public:
    AccessServerScript(ScriptedStream& stream, ServerScript script)
        : stream_(stream), script_(std::move(script)) {
        Bytes offer;
        codec_.RequestLocal(telnet::Option::Binary, offer);
        codec_.RequestRemote(telnet::Option::Binary, offer);
        codec_.RequestLocal(telnet::Option::SuppressGoAhead, offer);
        codec_.RequestRemote(telnet::Option::SuppressGoAhead, offer);
        stream_.Send(0ms, offer);
        stream_.onSent = [this](std::span<const std::uint8_t> bytes) { Take(bytes); };
    }

    // Com-port requests seen, by command.
    std::map<std::uint8_t, int> asked;

  private:
    void Take(std::span<const std::uint8_t> bytes) {
        Bytes data;
        Bytes out;
        std::vector<telnet::ComPortMessage> messages;
        codec_.Decode(bytes, data, out, messages);
        stream_.SendNow(out);
        for (const auto& m : messages) {
            const int nth = asked[m.command]++;
            if (const auto after = script_.answerAfter(m.command, nth)) {
                // In order, as a server answers: a late answer holds back the later ones.
                const TimePoint at = std::max(stream_.Now() + *after, lastAnswer_);
                lastAnswer_ = at;
                Bytes answer;
                telnet::AppendComPort(answer, m.command + telnet::kServerOffset, m.value);
                stream_.SendNow(answer, at - stream_.Now());
            }
        }
        for (dataBytes_ += data.size(); dataBytes_ >= kClear.size(); dataBytes_ -= kClear.size()) {
            script_.onFrame(stream_, frames_++);
        }
    }

    ScriptedStream& stream_;
    ServerScript script_;
    telnet::TelnetCodec codec_{telnet::Role::Server};
    std::size_t dataBytes_ = 0;
    int frames_ = 0;
    TimePoint lastAnswer_{};
};

Bytes Text(const std::string& text) {
    return {text.begin(), text.end()};
}

constexpr std::uint8_t kPurge = static_cast<std::uint8_t>(telnet::ComPort::PurgeData);

// The exchanges a server's faults must not spoil: what each of a run of exchanges shows.
struct Shown {
    bool replied = false;
    std::string reply{};      // when replied
    bool portFailed = false;  // when not
    std::string failure{};    // the reason in words, when it failed
};

TEST(NetworkDeviceTest, ExchangesShowOnlyTheModulesReplies) {
    const struct Case {
        const char* name;
        NetworkScheme scheme;
        std::function<void(ScriptedStream&)> script;  // the server's unasked part
        ServerScript server;
        std::vector<Shown> shown;
        std::vector<std::string> notices;
    } cases[] = {
        // One purge answered late, after the tool gave up and sent its frame; the next purge is
        // answered at once, but stale bytes the server still held come before the answer.
        {"stale bytes after a late purge answer",
         NetworkScheme::Rfc2217,
         {},
         {.answerAfter =
              [](std::uint8_t c, int nth) {
                  return std::optional(c == kPurge && nth == 0 ? 600ms : 0ms);
              },
          .onFrame =
              [](ScriptedStream& s, int frame) {
                  s.SendNow({0xAA, 0x04, 0x80, static_cast<std::uint8_t>(frame), 0x00});
              }},
         {{true, "AA 04 80 00 00"}, {true, "AA 04 80 01 00"}, {true, "AA 04 80 02 00"}},
         {"did not answer PURGE-DATA within 400 ms"}},
        {"stale bytes before every purge answer",
         NetworkScheme::Rfc2217,
         {},
         {.answerAfter =
              [](std::uint8_t c, int) {
                  return std::optional(c == kPurge ? 500ms : 0ms);  // always late
              },
          .onFrame =
              [](ScriptedStream& s, int frame) {
                  // The true reply, then stale bytes that the next purge should have caught.
                  s.SendNow({0xAA, 0x04, 0x80, static_cast<std::uint8_t>(frame), 0x00});
                  s.SendNow({0xEE, 0xEE, 0xEE, 0xEE, 0xEE}, 10ms);
              }},
         {{true, "AA 04 80 00 00"}, {true, "AA 04 80 01 00"}, {true, "AA 04 80 02 00"}},
         {"did not answer PURGE-DATA within 400 ms"}},
        // A purge's answer that comes only with the reply, stale bytes before it: the wait for
        // it has ended, and what came before it is stale all the same.
        {"answers each purge only with the reply, stale bytes first",
         NetworkScheme::Rfc2217,
         {},
         {.answerAfter = [](std::uint8_t c,
                            int) { return c == kPurge ? std::nullopt : std::optional(0ms); },
          .onFrame =
              [](ScriptedStream& s, int frame) {
                  Bytes out{0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
                  const std::uint8_t value = telnet::kPurgeReceived;
                  telnet::AppendComPort(out, kPurge + telnet::kServerOffset, {&value, 1});
                  out.insert(out.end(), {0xAA, 0x04, 0x80, static_cast<std::uint8_t>(frame), 0});
                  s.SendNow(out);
              }},
         {{true, "AA 04 80 00 00"}, {true, "AA 04 80 01 00"}},
         {"did not answer PURGE-DATA within 400 ms"}},
        {"closes with words as the frame comes",
         NetworkScheme::Rfc2217,
         {},
         {.onFrame =
              [](ScriptedStream& s, int) {
                  Bytes out;
                  telnet::AppendData(out, Text("ERROR: line down\r\n"));
                  s.SendNow(out);
                  s.Close(s.FromNow());
              }},
         {{false, "", true, "the server closed the connection (\"ERROR: line down\")"}},
         {}},
        {"raw, closes with words as the frame comes",
         NetworkScheme::Socket,
         [](ScriptedStream& s) {
             s.onSent = [&s](std::span<const std::uint8_t>) {
                 s.SendNow(Text("ERROR: \x01line down\r\n"));
                 s.Close(s.FromNow());
             };
         },
         {},
         {{false, "", true, "the server closed the connection (\"ERROR: \\x01line down\")"}},
         {"is a raw TCP port"}},
        {"closes silently in the reply wait",
         NetworkScheme::Rfc2217,
         {},
         {.onFrame = [](ScriptedStream& s, int) { s.Close(s.FromNow()); }},
         {{false, "", true, ""}},
         {}},
        // Data without end from the first frame on: each exchange takes five of it, and what
        // the tool holds stays within its bound.
        {"floods",
         NetworkScheme::Rfc2217,
         {},
         {.onFrame =
              [](ScriptedStream& s, int) {
                  s.Endless(s.FromNow(), {0x5A, 0x5B});
              }},
         {{true, "5A 5B 5A 5B 5A"}, {true, "5A 5B 5A 5B 5A"}},
         {}},
        // The same as fast as the tool reads: the socket never stops being readable, and the
        // exchange ends at its window all the same.
        {"storms without a pause once the frame has come",
         NetworkScheme::Rfc2217,
         [](ScriptedStream& s) { s.ReadCost(1ms); },
         {.onFrame =
              [](ScriptedStream& s, int) {
                  s.Endless(s.FromNow(), {0xFF, 0xFD, 5}, 1'000'000'000);
              }},
         {{false, "", false, ""}, {false, "", false, ""}},
         {}},
        // Telnet requests without end: no reply, and the exchange ends at its window.
        {"storms once the frame has come",
         NetworkScheme::Rfc2217,
         {},
         {.onFrame =
              [](ScriptedStream& s, int) {
                  s.Endless(s.FromNow(), {0xFF, 0xFD, 5}, 100);
              }},
         {{false, "", false, ""}, {false, "", false, ""}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPort port;
        std::optional<AccessServerScript> server;
        if (c.scheme == NetworkScheme::Rfc2217) {
            server.emplace(port.stream, c.server);
        }
        if (c.script) {
            c.script(port.stream);
        }
        LineSink sink;
        SerialLink link(std::make_unique<ScriptedSystem>(port, c.scheme),
                        BuildPortNameTable("rfc2217://scripted:1"), &sink);
        ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0) << link.LastOpenReason();
        for (std::size_t i = 0; i < c.shown.size(); ++i) {
            SCOPED_TRACE(i);
            protocol::CommandFrame frame{};
            std::copy(kClear.begin(), kClear.end(), frame.begin());
            const TimePoint start = port.stream.Now();
            const ExchangeResult result = Exchange(link, frame, 5);
            EXPECT_TRUE(result.Sent());
            EXPECT_EQ(result.replied, c.shown[i].replied);
            if (result.replied) {
                EXPECT_EQ(Hex(frame.data() + protocol::kReplyOffset, 5), c.shown[i].reply);
            }
            EXPECT_EQ(result.portFailed, c.shown[i].portFailed);
            EXPECT_EQ(result.failure, c.shown[i].failure);
            // Whatever the server sends, an exchange ends within its window, and each call of
            // the port reads a bounded amount: a pump of 16 KiB, a few calls between two
            // waits.
            EXPECT_LE(port.stream.Now() - start, 2s);
            EXPECT_LE(port.stream.MostBetweenWaits(), 4u * 16 * 1024);
        }
        ASSERT_EQ(sink.lines.size(), c.notices.size()) << ::testing::PrintToString(sink.lines);
        for (std::size_t i = 0; i < c.notices.size(); ++i) {
            EXPECT_EQ(sink.lines[i].rfind("rfc2217://scripted:1 " + c.notices[i], 0), 0u)
                << sink.lines[i];
        }
    }
}

// Opens that must fail, with the server's reason, and those that go on without what a server
// would not give.
TEST(NetworkDeviceTest, AnOpenEndsWithTheServersWordsOrGoesOnWithoutWhatItWouldNotGive) {
    const std::string busy = "Port's device already in use\r\n";
    const Bytes offer{0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03, 0xFF, 0xFB,
                      0x00, 0xFF, 0xFD, 0x00, 0xFF, 0xFD, 0x2C};
    const struct {
        const char* name;
        NetworkScheme scheme;
        std::function<void(ScriptedStream&)> script;
        int code;  // OpenPort's result
        std::string reason;
        std::vector<std::string> notices;
    } cases[] = {
        {"ser2net busy, rfc2217: its offer, its line, the close",
         NetworkScheme::Rfc2217,
         [&](ScriptedStream& s) {
             Bytes all = offer;
             all.insert(all.end(), busy.begin(), busy.end());
             s.Send(0ms, all);
             s.Close(0ms);
         },
         1,
         "the server closed the connection (\"Port's device already in use\")",
         {}},
        {"ser2net busy, rfc2217: the line and the close after the offer's answers",
         NetworkScheme::Rfc2217,
         [&](ScriptedStream& s) {
             s.Send(0ms, offer);
             s.Send(1ms, Text(busy));
             s.Close(1ms);
         },
         3,
         "the server closed the connection (\"Port's device already in use\")",
         {}},
        // A server that closes with bytes of the tool's unread resets the connection.
        {"ser2net busy, rfc2217: the line, then a reset",
         NetworkScheme::Rfc2217,
         [&](ScriptedStream& s) {
             s.Send(0ms, offer);
             s.Send(1ms, Text(busy));
             s.Close(1ms, std::make_error_code(std::errc::connection_reset));
         },
         3,
         "the server closed the connection (\"Port's device already in use\")",
         {}},
        {"resets without a word",
         NetworkScheme::Socket,
         [&](ScriptedStream& s) {
             s.Close(1ms, std::make_error_code(std::errc::connection_reset));
         },
         1,
         std::make_error_code(std::errc::connection_reset).message(),
         {}},
        {"ser2net busy, raw: the line and the close within the settling time",
         NetworkScheme::Socket,
         [&](ScriptedStream& s) {
             s.Send(1ms, Text(busy));
             s.Close(1ms);
         },
         1,
         "the server closed the connection (\"Port's device already in use\")",
         {}},
        {"closes without a word",
         NetworkScheme::Socket,
         [&](ScriptedStream& s) { s.Close(10ms); },
         1,
         "The server closed the connection",
         {}},
        // A server that storms and reads nothing: the answers it must be sent pile up.
        {"storms and reads nothing",
         NetworkScheme::Rfc2217,
         [&](ScriptedStream& s) {
             s.Room(100);
             s.Endless(0ms, {0xFF, 0xFD, 5});
         },
         1,
         "The server reads nothing: the answers it must be sent piled up",
         {}},
        {"says nothing at all",
         NetworkScheme::Rfc2217,
         [&](ScriptedStream&) {},
         0,
         "",
         {"did not answer the Telnet negotiation within 400 ms"}},
        {"refuses the com-port option",
         NetworkScheme::Rfc2217,
         [&](ScriptedStream& s) {
             s.onSent = [&s](std::span<const std::uint8_t> bytes) {
                 telnet::TelnetCodec client(telnet::Role::Client);  // refuses COM-PORT-OPTION
                 Bytes data, out;
                 std::vector<telnet::ComPortMessage> messages;
                 client.Decode(bytes, data, out, messages);
                 s.SendNow(out);
             };
         },
         0,
         "",
         {"refused the COM-PORT-OPTION"}},
        {"raw, says nothing",
         NetworkScheme::Socket,
         [&](ScriptedStream&) {},
         0,
         "",
         {"is a raw TCP port"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPort port;
        c.script(port.stream);
        LineSink sink;
        SerialLink link(std::make_unique<ScriptedSystem>(port, c.scheme),
                        BuildPortNameTable("rfc2217://scripted:1"), &sink);
        EXPECT_EQ(link.OpenPort(0, 3, nullptr), c.code);
        if (c.code != 0) {
            EXPECT_EQ(link.LastOpenReason(), c.reason);
        }
        ASSERT_EQ(sink.lines.size(), c.notices.size()) << ::testing::PrintToString(sink.lines);
        for (std::size_t i = 0; i < c.notices.size(); ++i) {
            EXPECT_EQ(sink.lines[i].rfind("rfc2217://scripted:1 " + c.notices[i], 0), 0u)
                << sink.lines[i];
        }
    }
}

// Writes against a server that takes little or nothing: bytes count as written only as it
// takes them, a write that cannot finish fails at its deadline after a handful of waits (no
// spinning), a stop request ends it at once, and half of a doubled 0xFF never leaves the
// stream out of step.
TEST(NetworkDeviceTest, AWriteIsWrittenOnlyAsTheServerTakesIt) {
    const Bytes withFF{0xAA, 0x05, 0x80, 0xFF, 0x00, 0x2E};
    const struct {
        const char* name;
        std::size_t room;  // bytes the server takes after the open's own
        std::function<void(ScriptedStream&)> later;
        int written;  // of the first frame
        std::error_code error;
        std::chrono::milliseconds took;  // on the stream's clock
    } cases[] = {
        {"takes everything", 1000, {}, 6, {}, 0ms},
        {"takes three bytes and stops",
         3,
         {},
         3,
         std::make_error_code(std::errc::timed_out),
         1000ms},
        {"takes half of the doubled 0xFF",
         4,
         {},
         3,
         std::make_error_code(std::errc::timed_out),
         1000ms},
        {"takes the rest later",
         3,
         [](ScriptedStream& s) { s.RoomAt(s.FromNow(300ms), 100); },
         6,
         {},
         300ms},
        {"a stop request comes first", 0, [](ScriptedStream& s) { s.Stop(s.FromNow(250ms)); }, 0,
         std::make_error_code(std::errc::operation_canceled), 250ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPort port;
        LineSink sink;
        SerialLink link(std::make_unique<ScriptedSystem>(port, NetworkScheme::Rfc2217),
                        BuildPortNameTable("rfc2217://scripted:1"), &sink);
        ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0);
        ScriptedStream& s = port.stream;
        const std::size_t openBytes = s.Taken().size();
        s.Room(c.room);
        if (c.later) {
            c.later(s);
        }
        const TimePoint start = s.Now();
        const int waitsBefore = s.Waits();
        EXPECT_EQ(link.SendBytes(withFF.data(), 6), c.written);
        EXPECT_EQ(link.LastSendError(), c.error) << link.LastSendError().message();
        EXPECT_LE(s.Waits() - waitsBefore, 4);
        EXPECT_GE(s.Now() - start, c.took - 1ms);
        // The next frame goes whole: whatever was left of the first is given up, but the
        // other half of a doubled 0xFF goes first, so the server reads no Telnet command.
        s.Room(1000);
        EXPECT_EQ(link.SendBytes(kClear.data(), 5), 5);
        telnet::TelnetCodec server(telnet::Role::Server);
        Bytes data, out;
        std::vector<telnet::ComPortMessage> messages;
        server.Decode(std::span(s.Taken()).subspan(openBytes), data, out, messages);
        EXPECT_TRUE(out.empty()) << Hex(out);
        Bytes expected(withFF.begin(), withFF.begin() + c.written);
        if (c.room == 4) {
            expected.push_back(0xFF);  // the half that had gone, completed
        }
        expected.insert(expected.end(), kClear.begin(), kClear.end());
        EXPECT_EQ(Hex(data), Hex(expected));
    }
}

// A server slow to answer a request gets a shorter wait from then on, until an answer comes,
// however late; then the full wait again.
TEST(NetworkDeviceTest, ASlowServerGetsAShortWaitUntilItAnswersAgain) {
    ScriptedPort port;
    // The first purge is answered after 600 ms, and the others, in order, after it.
    AccessServerScript server(port.stream, {.answerAfter = [](std::uint8_t c, int nth) {
                                  return std::optional(c == kPurge && nth == 0 ? 600ms : 0ms);
                              }});
    SerialLink link(std::make_unique<ScriptedSystem>(port, NetworkScheme::Rfc2217),
                    BuildPortNameTable("rfc2217://scripted:1"));
    ASSERT_EQ(link.OpenPort(0, 6, nullptr), 0);
    std::vector<std::chrono::milliseconds> waited;
    for (int i = 0; i < 7; ++i) {
        const TimePoint start = port.stream.Now();
        link.DiscardInput();
        waited.push_back(
            std::chrono::duration_cast<std::chrono::milliseconds>(port.stream.Now() - start));
    }
    // 400 ms in vain; then 50 ms each, until the answers come at 600 ms; then at once.
    EXPECT_EQ(waited,
              (std::vector<std::chrono::milliseconds>{400ms, 50ms, 50ms, 50ms, 50ms, 0ms, 0ms}));
}

}  // namespace
}  // namespace glassbench::serial
