// The virtual module's access server without sockets: its answer to each com-port request and
// the line it then has, and one client's connection on a scripted stream: a purge that throws
// away what waits for the client, answers held while the client has suspended them, settings
// that apply from where they stood among the data, and a client that reads nothing, dropped.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ScriptedStream.h"
#include "TestHex.h"
#include "module/AccessServer.h"

namespace glassbench::module {
namespace {

using namespace std::chrono_literals;
using glassbench::testing::Hex;
using glassbench::testing::ScriptedStream;
using Bytes = std::vector<std::uint8_t>;

TEST(AccessServerTest, AnswersEachRequestWithTheValueInEffect) {
    using telnet::ComPort;
    const struct {
        ComPort command;
        Bytes value;
        std::optional<std::string> answer;  // its value in hex, or none
        AccessServer::Effect effect;
        std::string printed;
    } cases[] = {
        {ComPort::Signature,
         {},
         Hex(Bytes(std::string_view("Glassbench virtual module").begin(),
                   std::string_view("Glassbench virtual module").end())),
         AccessServer::Effect::None,
         ""},
        {ComPort::Signature, {'x'}, std::nullopt, AccessServer::Effect::None, ""},
        {ComPort::SetBaudRate,
         {0, 1, 0xC2, 0},
         "00 01 C2 00",
         AccessServer::Effect::None,
         "speed: 115200 baud\n"},
        {ComPort::SetBaudRate, {0, 0, 0, 0}, "00 00 25 80", AccessServer::Effect::None, ""},
        {ComPort::SetDataSize, {7}, "07", AccessServer::Effect::None, ""},
        {ComPort::SetDataSize, {9}, "08", AccessServer::Effect::None, ""},
        {ComPort::SetParity, {telnet::kParityEven}, "03", AccessServer::Effect::None, ""},
        {ComPort::SetStopSize, {telnet::kStopOneAndHalf}, "03", AccessServer::Effect::None, ""},
        {ComPort::SetControl,
         {telnet::kDtrOff},
         "09",
         AccessServer::Effect::None,
         "modem line: DTR low\n"},
        {ComPort::SetControl, {telnet::kDtrOn}, "08", AccessServer::Effect::None, ""},
        {ComPort::SetControl, {10}, "0B", AccessServer::Effect::None, ""},  // asks for RTS
        {ComPort::SetControl, {20}, std::nullopt, AccessServer::Effect::None, ""},
        {ComPort::NotifyModemState, {}, "B0", AccessServer::Effect::None, ""},
        {ComPort::FlowControlSuspend, {}, std::nullopt, AccessServer::Effect::Suspend, ""},
        {ComPort::FlowControlResume, {}, std::nullopt, AccessServer::Effect::Resume, ""},
        {ComPort::SetModemStateMask, {0x10}, "10", AccessServer::Effect::None, ""},
        {ComPort::PurgeData, {1}, "01", AccessServer::Effect::PurgeReceived, ""},
        {ComPort::PurgeData, {2}, "02", AccessServer::Effect::None, ""},
        {ComPort::PurgeData, {3}, "03", AccessServer::Effect::PurgeReceived, ""},
        {ComPort::PurgeData, {4}, std::nullopt, AccessServer::Effect::None, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.command));
        std::ostringstream out;
        AccessServer server(out);
        const auto response = server.OnComPort({static_cast<std::uint8_t>(c.command), c.value, 0});
        EXPECT_EQ(response.answer ? std::optional(Hex(*response.answer)) : std::nullopt, c.answer);
        EXPECT_EQ(response.effect, c.effect);
        EXPECT_EQ(out.str(), c.printed);
    }
}

// A line that takes what it is written and counts it, for the core.
struct CountingLine final : ModuleLine {
    std::chrono::nanoseconds CharacterTime() override { return {}; }
    bool Write(std::span<const std::uint8_t> bytes) override {
        written += bytes.size();
        return true;
    }
    std::size_t written = 0;
};

Bytes Request(telnet::ComPort command, Bytes value) {
    Bytes out;
    telnet::AppendComPort(out, static_cast<std::uint8_t>(command), value);
    return out;
}

// One client's connection on a scripted stream, with a module core behind it.
struct ServedOnScript {
    std::unique_ptr<ScriptedStream> owned = std::make_unique<ScriptedStream>();
    ScriptedStream& stream = *owned;
    std::ostringstream out;
    ServedConnection connection{std::move(owned), net::Framing::Telnet, out};
    CountingLine line;
    ModuleOptions options;
    ModuleCore core{options, line, out};
};

// What the client has been sent, as its own codec reads it: the data, and the server's
// com-port answers as "COMMAND VALUE".
struct ClientView {
    Bytes data;
    std::vector<std::string> answers;
};
ClientView Read(const Bytes& taken) {
    telnet::TelnetCodec client(telnet::Role::Client);
    ClientView view;
    Bytes out;
    std::vector<telnet::ComPortMessage> messages;
    client.Decode(taken, view.data, out, messages);
    for (const auto& m : messages) {
        view.answers.push_back(std::to_string(m.command) + " " + Hex(m.value));
    }
    return view;
}

TEST(AccessServerTest, AConnectionHoldsPurgesAndDropsAsAServerShould) {
    const Bytes answer{0xAA, 0x04, 0x80, 0x00, 0xFF};
    const struct {
        const char* name;
        Bytes client;      // what the client sends before the module writes its answer
        Bytes clientThen;  // and after
        Bytes data;        // what the client gets of the answer
        std::vector<std::string> answers;
    } cases[] = {
        {"as it is", {}, {}, answer, {}},
        // The client cannot take anything until the purge: the answer waits, and goes.
        {"purged", {}, Request(telnet::ComPort::PurgeData, {1}), {}, {"112 01"}},
        {"suspended", Request(telnet::ComPort::FlowControlSuspend, {}), {}, {}, {}},
        {"suspended, then resumed",
         Request(telnet::ComPort::FlowControlSuspend, {}),
         Request(telnet::ComPort::FlowControlResume, {}),
         answer,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServedOnScript served;
        served.stream.Room(0);
        served.stream.SendNow(c.client);
        ASSERT_TRUE(served.connection.Serve(served.core));
        EXPECT_TRUE(served.connection.Write(answer));
        served.stream.SendNow(c.clientThen);
        EXPECT_TRUE(served.connection.Serve(served.core));
        served.stream.Room(1 << 20);
        served.connection.Serve(served.core);
        const ClientView view = Read(served.stream.Taken());
        EXPECT_EQ(Hex(view.data), Hex(c.data));
        EXPECT_EQ(view.answers, c.answers);
    }
}

// A client that reads nothing fills what the server holds for it, and is dropped; one that
// stops reading the server's Telnet answers too.
TEST(AccessServerTest, AClientThatReadsNothingIsDropped) {
    for (const bool storms : {false, true}) {
        SCOPED_TRACE(storms ? "storms and reads nothing" : "reads nothing");
        ServedOnScript served;
        ScriptedStream& stream = served.stream;
        ServedConnection& connection = served.connection;
        stream.Room(0);
        bool written = true;
        if (storms) {
            stream.Endless(0ms, {telnet::kIac, telnet::kDo, 5});
            stream.Wait(false, false, stream.Now() + 1s);  // a second of it
        } else {
            const Bytes block(1024, 0x55);
            for (int i = 0; i < 100 && written; ++i) {
                written = connection.Write(block);
            }
            EXPECT_FALSE(written);
        }
        bool open = true;
        for (int i = 0; i < 100 && open; ++i) {
            open = connection.Serve(served.core);
        }
        EXPECT_FALSE(open);
        EXPECT_TRUE(connection.ReadsNothing());
    }
}

}  // namespace
}  // namespace glassbench::module
