// soak_exchanges: N exchanges through the exchange every caller shares (serial/Exchange.h),
// against the virtual module misbehaving on purpose, each reply checked against the one the
// module must have put first on the wire for that frame. Prints the tally by fault and the
// process's resident memory and descriptors at the start, the middle and the end; exits 1 on
// any misattributed reply or growth.
//
// Usage: soak_exchanges [--exchanges N] [--seed S] [--fault-mix LIST] [--margin-kib K]
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ModuleProcess.h"
#include "Soak.h"
#include "protocol/CommandFrame.h"
#include "serial/Exchange.h"
#include "serial/SerialLink.h"

using namespace glassbench;

int main(int argc, char** argv) {
    const bench::SoakOptions options = bench::ReadSoakOptions(
        argc, argv,
        "soak_exchanges [--exchanges N] [--seed S] [--fault-mix LIST] [--margin-kib K]");
    const bench::SoakModule module(options);
    serial::SerialLink port(serial::CreatePlatformSerialSystem(),
                            serial::BuildPortNameTable(module.link()));
    if (!module.ready() || port.OpenPort(0, serial::kSpeedCount - 1, nullptr) != 0) {
        std::fprintf(stderr, "soak_exchanges: the virtual module did not start or open\n");
        return 1;
    }
    bench::SoakTally tally;
    protocol::CommandFrame frame{};
    protocol::DataStore store{};
    const protocol::CommandFields clear;  // Clear Screen, the window's start-up choice
    for (int n = 0; n < options.exchanges; ++n) {
        tally.Checkpoint(n, options.exchanges);
        frame.fill(0xEE);  // nothing of an earlier exchange may be taken for a reply
        const auto built = protocol::BuildCommandFrame(clear, frame, store);
        const serial::ExchangeResult result = serial::Exchange(port, frame, built.frameLength);
        std::optional<module::Bytes> shown;
        if (result.replied) {
            const auto* reply = frame.data() + protocol::kReplyOffset;
            shown = module::Bytes(reply, reply + protocol::kReplyLength);
        }
        module::Fault fault{};
        const auto expected = bench::ExpectedReply(options, n, frame[2], fault);
        tally.Record(n, fault, expected, shown);
    }
    tally.Sample("end");
    std::printf("%d exchanges through the shared exchange, seed %llu, mix %s\n", options.exchanges,
                static_cast<unsigned long long>(options.seed),
                module::FormatFaultMix(options.mix).c_str());
    return tally.Report(0, options.marginKiB) ? 0 : 1;
}
