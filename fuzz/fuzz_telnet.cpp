// The Telnet codec of network ports, fed what a hostile or broken server (or client) may send.
// Properties: the bytes mean the same however they are cut; nothing grows faster than the input
// (data, answers, messages, each value bounded); and data that goes out comes back as it was.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzCheck.h"
#include "net/Telnet.h"

namespace {

using namespace glassbench::serial::telnet;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte picks the role and where the input is cut.
    const Role role = (bytes[0] & 1) != 0 ? Role::Server : Role::Client;
    const std::span<const std::uint8_t> input(bytes + 1, size - 1);
    const std::size_t cut = bytes[0] % (input.size() + 1);

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
    return 0;
}
