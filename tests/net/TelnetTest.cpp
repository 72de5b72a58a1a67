// The Telnet codec of network ports, both roles: what reaches the data, what is answered, what
// is taken as a com-port message, and that a peer's bytes mean the same however they are cut.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestHex.h"
#include "net/Telnet.h"

namespace glassbench::net::telnet {
namespace {

using glassbench::testing::Hex;

struct Decoded {
    std::string data, answers, messages;
};

// Feeds `input` in pieces of `step` bytes (0: all at once).
Decoded Feed(TelnetCodec& codec, const Bytes& input, std::size_t step) {
    Bytes data;
    Bytes answers;
    std::vector<ComPortMessage> messages;
    step = step == 0 ? input.size() : step;
    for (std::size_t at = 0; at < input.size(); at += step) {
        const std::size_t n = std::min(step, input.size() - at);
        codec.Decode({input.data() + at, n}, data, answers, messages);
    }
    std::string listed;
    for (const auto& m : messages) {
        listed += (listed.empty() ? "" : ", ") + Hex(&m.command, 1) + " [" + Hex(m.value) +
                  "] after " + std::to_string(m.dataBefore);
    }
    return {Hex(data), Hex(answers), listed};
}

TEST(TelnetCodecTest, DataAnswersAndMessagesHoweverTheBytesAreCut) {
    std::string overlong = "FF FA 2C 65";
    for (std::size_t i = 0; i < kMaxSubnegotiation; ++i) {
        overlong += " EE";
    }
    const struct {
        const char* name;
        Role role;
        bool askedBinary;  // we asked for binary both ways before the input came
        std::string input;
        Decoded expected;
    } cases[] = {
        // clang-format off
        {"0xFF in the data arrives doubled", Role::Client, false, "41 FF FF 42", {"41 FF 42", "", ""}},
        {"echo offered is refused", Role::Client, false, "FF FB 01", {"", "FF FE 01", ""}},
        {"echo asked for is refused", Role::Client, false, "FF FD 01", {"", "FF FC 01", ""}},
        {"binary agreed as asked, no answer", Role::Client, true, "FF FD 00 FF FB 00", {"", "", ""}},
        {"binary offered unasked is agreed", Role::Client, false, "FF FB 00 FF FD 00", {"", "FF FD 00 FF FB 00", ""}},
        {"a repeated offer is answered once", Role::Client, false, "FF FB 03 FF FB 03", {"", "FF FD 03", ""}},
        {"a refusal of binary is no request", Role::Client, true, "FF FC 00 FF FE 00", {"", "", ""}},
        {"the client does not serve a com port", Role::Client, false, "FF FB 2C", {"", "FF FE 2C", ""}},
        {"the server serves one", Role::Server, false, "FF FB 2C", {"", "FF FD 2C", ""}},
        {"a com-port answer", Role::Client, false, "FF FA 2C 65 00 01 C2 00 FF F0", {"", "", "65 [00 01 C2 00] after 0"}},
        {"0xFF in a value arrives doubled", Role::Client, false, "FF FA 2C 65 00 00 FF FF FF F0", {"", "", "65 [00 00 FF] after 0"}},
        {"where a message falls in the data", Role::Client, false, "41 FF FA 2C 70 01 FF F0 42", {"41 42", "", "70 [01] after 1"}},
        {"a modem-state notice", Role::Client, false, "FF FA 2C 6B 00 FF F0", {"", "", "6B [00] after 0"}},
        {"another option's subnegotiation is skipped", Role::Client, false, "FF FA 18 01 FF F0 41", {"41", "", ""}},
        {"an overlong one is dropped", Role::Client, false, overlong + " FF F0 42", {"42", "", ""}},
        {"one broken off by a command", Role::Client, false, "FF FA 2C 65 01 FF FB 01 43", {"43", "FF FE 01", ""}},
        {"no-operation and go-ahead go", Role::Client, false, "FF F1 41 FF F9 42", {"41 42", "", ""}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = glassbench::testing::Bytes(c.input);
        for (const std::size_t step : {0u, 1u, 2u}) {
            TelnetCodec codec(c.role);
            Bytes asked;
            if (c.askedBinary) {
                codec.RequestLocal(Option::Binary, asked);
                codec.RequestRemote(Option::Binary, asked);
                EXPECT_EQ(Hex(asked), "FF FB 00 FF FD 00");
            }
            const Decoded got = Feed(codec, bytes, step);
            EXPECT_EQ(got.data, c.expected.data) << "in pieces of " << step;
            EXPECT_EQ(got.answers, c.expected.answers) << "in pieces of " << step;
            EXPECT_EQ(got.messages, c.expected.messages) << "in pieces of " << step;
        }
    }
}

TEST(TelnetCodecTest, OptionStatesFollowTheAnswers) {
    TelnetCodec codec(Role::Client);
    Bytes out;
    codec.RequestLocal(Option::ComPort, out);
    codec.RequestLocal(Option::ComPort, out);  // asked already: nothing more goes
    EXPECT_EQ(Hex(out), "FF FB 2C");
    EXPECT_FALSE(codec.LocalSettled(Option::ComPort));
    Feed(codec, glassbench::testing::Bytes("FF FE 2C"), 0);
    EXPECT_TRUE(codec.LocalSettled(Option::ComPort));
    EXPECT_FALSE(codec.LocalEnabled(Option::ComPort));
    Feed(codec, glassbench::testing::Bytes("FF FB 00"), 0);
    EXPECT_TRUE(codec.RemoteEnabled(Option::Binary));
    // Turned off by the peer: answered, and off.
    EXPECT_EQ(Feed(codec, glassbench::testing::Bytes("FF FC 00"), 0).answers, "FF FE 00");
    EXPECT_FALSE(codec.RemoteEnabled(Option::Binary));
}

TEST(TelnetCodecTest, WhatGoesOutComesBackAsItWas) {
    Bytes data;
    for (int b = 0; b < 256; ++b) {
        data.push_back(static_cast<std::uint8_t>(b));
    }
    Bytes wire;
    AppendData(wire, data);
    EXPECT_EQ(wire.size(), 257u);
    const auto baud = BigEndian32(0xFF00FF01);
    AppendComPort(wire, 1, baud);
    EXPECT_EQ(Hex(wire.data() + 257, wire.size() - 257), "FF FA 2C 01 FF FF 00 FF FF 01 FF F0");
    TelnetCodec codec(Role::Server);
    Bytes back;
    Bytes answers;
    std::vector<ComPortMessage> messages;
    codec.Decode(wire, back, answers, messages);
    EXPECT_EQ(back, data);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(ReadBigEndian32(messages[0].value), 0xFF00FF01u);
}

}  // namespace
}  // namespace glassbench::net::telnet
