// "send": the window's send action from the command line. Opens a port as the window does,
// then for each repetition builds the frame (or takes --raw's bytes as they are) and runs the
// window's exchange: empty the receive queue, write the frame, wait for the five-byte reply with
// the window's 100000 tries.
// --interval paces the repetitions; what arrives during a pause is thrown away with the rest
// of the receive queue before the next frame.
#include <chrono>
#include <ostream>
#include <vector>

#include "cli/Commands.h"
#include "cli/PortSession.h"
#include "protocol/CommandFrame.h"
#include "serial/Exchange.h"

namespace glassbench::cli {

namespace {

constexpr int kExitNoReply = 1;

}  // namespace

int RunSend(const OptionValues& values, std::ostream& out, std::ostream& err) {
    const PortSettings port = ReadPortSettings(values);
    const int repeat = values.Get("repeat", 1);
    const OutgoingFrame outgoing = OutgoingFrameOf(values);

    const serial::StopRequest stop;
    StreamMessageSink sink(err);
    const auto link = OpenSessionPort(port, sink, stop, err);
    if (!link) {
        return NoPortExit(stop, err);
    }

    std::vector<long long> exchangeUs;
    int replies = 0;
    int exchanges = 0;
    const auto cpuStart = serial::ProcessCpuTime();
    for (int i = 0; i < repeat && !stop.Requested(); ++i) {
        if (i > 0 && !Pause(stop, port.interval)) {
            break;
        }
        protocol::CommandFrame frame{};
        ++exchanges;
        const PrintedResult printed = PrintedExchange(*link, outgoing, frame, out);
        if (printed.result.replied) {
            exchangeUs.push_back(
                std::chrono::duration_cast<std::chrono::microseconds>(printed.took).count());
            ++replies;
        }
        // The exchange the loss broke is shown as it was and counts as failed; the next frame
        // goes to the port back again, or the run ends here.
        if (link->Lost() && !RecoverPort(*link, port, stop, err)) {
            break;
        }
    }
    const auto cpu = serial::ProcessCpuTime() - cpuStart;
    if (values.Has("repeat") && exchanges > 0) {
        const auto cpuUs = std::chrono::duration_cast<std::chrono::microseconds>(cpu).count();
        out << "exchanges: " << exchanges << ", replies: " << replies
            << ", median_us: " << serial::Percentile(exchangeUs, 50)
            << ", p99_us: " << serial::Percentile(exchangeUs, 99)
            << ", cpu_us_per_exchange: " << (cpuUs + exchanges / 2) / exchanges;
        if (exchanges < repeat) {
            out << ", not tried: " << repeat - exchanges;
        }
        out << std::endl;
    }
    if (stop.Requested()) {
        err << "glassbench-cli: stopped by signal " << stop.Signal() << "\n";
        return stop.ExitCode();
    }
    return replies == repeat ? kExitOk : kExitNoReply;
}

}  // namespace glassbench::cli
