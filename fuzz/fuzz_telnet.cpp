// The Telnet codec and the one session of network ports, fed what a hostile or broken server (or
// client) may send.
//
// The codec: the bytes mean the same however they are cut; nothing grows faster than the input
// (data, answers, messages, each value bounded); data that goes out comes back as it was.
//
// The session, in the role the first byte picks, Telnet or raw, on a scripted stream (the
// tests' ScriptedStream): the input is a script of what the peer sends, how much room it gives,
// and what the session is asked to queue, drop and pump. Whatever the script: one pump reads
// no more than its bound; what waits to go stays within its bounds; data is counted as sent
// only once whole; and what the peer has taken decodes to exactly the data counted as sent, in
// order, with nothing of it lost or added (what was dropped unsent is gone as a whole).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzCheck.h"
#include "ScriptedStream.h"
#include "net/TelnetSession.h"

namespace {

using namespace glassbench::net;
using namespace glassbench::net::telnet;
using glassbench::testing::ScriptedStream;

struct Decoded {
    Bytes data, answers;
    std::vector<ComPortMessage> messages;
};

Decoded Decode(Role role, std::span<const std::uint8_t> input, std::size_t cut) {
    TelnetCodec codec(role);
    Decoded d;
    codec.Decode(input.first(cut), d.data, d.answers, d.messages);
    codec.Decode(input.subspan(cut), d.data, d.answers, d.messages);
    return d;
}

void CheckCodec(Role role, std::span<const std::uint8_t> input, std::size_t cut) {
    const Decoded whole = Decode(role, input, input.size());
    const Decoded cutUp = Decode(role, input, cut);
    FUZZ_CHECK(whole.data == cutUp.data);
    FUZZ_CHECK(whole.answers == cutUp.answers);
    FUZZ_CHECK(whole.messages.size() == cutUp.messages.size());
    for (std::size_t i = 0; i < whole.messages.size(); ++i) {
        FUZZ_CHECK(whole.messages[i].command == cutUp.messages[i].command);
        FUZZ_CHECK(whole.messages[i].value == cutUp.messages[i].value);
        FUZZ_CHECK(whole.messages[i].dataBefore == cutUp.messages[i].dataBefore);
    }

    // Every answer is one three-byte reply to a three-byte request, so the answers are never
    // longer than the input; each message stands for at least its own bytes.
    FUZZ_CHECK(whole.data.size() <= input.size());
    FUZZ_CHECK(whole.answers.size() <= input.size());
    FUZZ_CHECK(whole.answers.size() % 3 == 0);
    std::size_t previous = 0;
    for (const ComPortMessage& message : whole.messages) {
        FUZZ_CHECK(message.value.size() < kMaxSubnegotiation);
        FUZZ_CHECK(message.dataBefore >= previous && message.dataBefore <= whole.data.size());
        previous = message.dataBefore;
    }

    // The data, sent back the way this code sends it, decodes to itself.
    Bytes wire;
    AppendData(wire, whole.data);
    FUZZ_CHECK(Decode(role, wire, wire.size() / 2).data == whole.data);
}

// What the session hands on: data and messages counted, nothing kept.
struct Counter final : SessionEvents {
    void OnData(std::span<const std::uint8_t> data) override { bytes += data.size(); }
    void OnComPort(const ComPortMessage&) override { ++messages; }
    std::size_t bytes = 0;
    std::size_t messages = 0;
};

void CheckSession(Role role, Framing framing, std::span<const std::uint8_t> script) {
    constexpr SessionLimits kLimits{64, 48, 96};
    ScriptedStream stream;
    TelnetSession session(stream, role, framing, kLimits);
    session.Offer();
    Counter events;
    Bytes kept;  // the data queued and not dropped, in order
    std::uint64_t sentBefore = 0;
    for (std::size_t i = 0; i + 1 < script.size();) {
        const std::uint8_t op = script[i] % 6;
        const std::size_t n = script[i + 1] % 32;
        const auto bytes = script.subspan(i + 2, std::min(n, script.size() - i - 2));
        i += 2 + bytes.size();
        switch (op) {
            case 0:  // the peer sends
                stream.SendNow({bytes.begin(), bytes.end()});
                break;
            case 1:  // the peer takes n more bytes
                stream.Room(n);
                break;
            case 2: {
                const std::size_t taken = session.QueueData(bytes);
                FUZZ_CHECK(taken <= bytes.size());
                kept.insert(kept.end(), bytes.begin(), bytes.begin() + taken);
                break;
            }
            case 3:
                session.SendComPort(n, bytes);
                break;
            case 4: {
                const std::size_t dropped = session.DropUnsentData();
                FUZZ_CHECK(dropped <= kept.size());
                kept.resize(kept.size() - dropped);
                break;
            }
            case 5: {
                const std::uint64_t before = stream.Delivered();
                session.Pump(events);
                FUZZ_CHECK(stream.Delivered() - before <= kLimits.readPerPump);
                break;
            }
        }
        FUZZ_CHECK(session.Queued() <= kLimits.maxQueuedData + kLimits.maxQueuedControl);
        FUZZ_CHECK(session.DataSent() >= sentBefore);
        FUZZ_CHECK(session.DataSent() <= session.DataQueued());
        FUZZ_CHECK(session.DataQueued() == kept.size());
        sentBefore = session.DataSent();
    }
    // What the peer took is what was counted as sent: on Telnet, the data its codec finds (a
    // doubled 0xFF half taken is not yet a byte); raw, the bytes themselves.
    const Bytes& taken = stream.Taken();
    Bytes data = taken;
    if (framing == Framing::Telnet) {
        TelnetCodec peer(role == Role::Client ? Role::Server : Role::Client);
        Bytes answers;
        std::vector<ComPortMessage> messages;
        data.clear();
        peer.Decode(taken, data, answers, messages);
    }
    FUZZ_CHECK(data.size() == session.DataSent());
    FUZZ_CHECK(std::equal(data.begin(), data.end(), kept.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte picks the role, the framing and where the codec's input is cut.
    const Role role = (bytes[0] & 1) != 0 ? Role::Server : Role::Client;
    const Framing framing = (bytes[0] & 2) != 0 ? Framing::Raw : Framing::Telnet;
    const std::span<const std::uint8_t> input(bytes + 1, size - 1);
    CheckCodec(role, input, bytes[0] % (input.size() + 1));
    CheckSession(role, framing, input);
    return 0;
}
