// The kernel's own serial drivers under the CLI, measured in the QEMU guest of the tests
// (tests/qemu/KernelBench.h), in one boot:
// - the boot, from QEMU's start to the guest's agent ready with its adapters' nodes;
// - the FTDI's latency timer while the CLI holds its port, and after;
// - send --repeat's exchange (Clear Screen, five bytes back) through ftdi_sio (/dev/ttyUSB0)
//   and 8250 (/dev/ttyS1) in the guest, beside the same on the host's pseudo-terminal, at 9600
//   and 115200 baud, rounds of each path taking turns so that the machine's load falls on all
//   alike: the median of the rounds' medians and the largest 99th percentile;
// - the time from a replug (the monitor's device_add) in the middle of send --reconnect to
//   /dev/ttyUSB0 back in the guest, and to the first frame answered after it.
// The modules answer at once (no --wire-timing): the 16550's time on the wire is QEMU's, which
// paces its UART at the set speed; its USB serial adapter is not paced.
//
// Usage: kernel_driver_bench [EXCHANGES] [ROUNDS] [REPLUGS]   (200, 3 and 5 by default), run
// through tests/qemu/run.sh (bench/kernel-drivers.sh does), which makes the guest.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "KernelBench.h"
#include "ModuleProcess.h"
#include "TempDir.h"
#include "serial/Exchange.h"

namespace {

using namespace glassbench::testing;
using namespace glassbench::testing::qemu;
using glassbench::serial::Percentile;

struct Path {
    const char* label;
    const char* adapter;  // kBoard's id; none for the host's pseudo-terminal
    std::vector<long> medians, p99s;
};

int Argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const int exchanges = Argument(argc, argv, 1, 200);
    const int rounds = Argument(argc, argv, 2, 3);
    const int replugs = Argument(argc, argv, 3, 5);
    const char* guestDir = std::getenv("GLASSBENCH_QEMU_GUEST");
    if (guestDir == nullptr) {
        std::fprintf(stderr, "no guest: run me through tests/qemu/run.sh\n");
        return 2;
    }
    KernelBench bench(guestDir, GLASSBENCH_CLI);
    if (!bench.Boot()) {
        std::fprintf(stderr, "the guest did not boot: %s\n%s\n", bench.Error().c_str(),
                     bench.BootLog().c_str());
        return 1;
    }
    std::printf("boot: %.1f s (QEMU started to the guest ready with its nodes, TCG)\n",
                std::chrono::duration<double>(bench.BootTime()).count());

    TempDir dir;
    const auto link = (dir.path() / "module").string();
    glassbench::bench::ModuleProcess hostModule(link, {});
    if (!hostModule.ready()) {
        std::fprintf(stderr, "the host's module did not start\n");
        return 1;
    }
    // The FTDI's latency timer while our port is open (low latency on), and after. QEMU's
    // model rests at 0 where a real chip rests at 16, so 16 is set first, as a chip has it.
    bench.Run("echo 16 > /sys/bus/usb-serial/devices/ttyUSB0/latency_timer");
    const std::string timer = "cat /sys/bus/usb-serial/devices/ttyUSB0/latency_timer";
    const auto open = bench.Run("while-open --interrupt '" + timer +
                                "' glassbench-cli monitor --port=/dev/ttyUSB0");
    const auto closed = bench.Run(timer);
    const auto line = [](const std::string& out, std::size_t from) {
        const auto end = out.find('\n', from);
        return out.substr(from, end == std::string::npos ? end : end - from);
    };
    const auto probed = open.out.find('\n') + 1;  // after while-open's "pid: N"
    std::printf("\nftdi_sio latency timer: %s ms while the port is open, %s ms after\n",
                line(open.out, probed).c_str(), line(closed.out, 0).c_str());

    std::printf("\nexchanges of 5 bytes out and 5 back, %d a round, %d rounds\n", exchanges,
                rounds);
    std::printf("%-24s %7s %10s %10s\n", "path", "baud", "median_us", "p99_us");
    for (const int speed : {9600, 115200}) {
        std::vector<Path> paths{{"ftdi_sio, /dev/ttyUSB0", "ftdi0", {}, {}},
                                {"8250, /dev/ttyS1", "uart1", {}, {}},
                                {"host pty", nullptr, {}, {}}};
        const std::string options = "--no-pulse --speed=" + std::to_string(speed) +
                                    " --repeat=" + std::to_string(exchanges);
        for (int round = 0; round < rounds; ++round) {
            for (auto& path : paths) {
                std::string out;
                if (path.adapter == nullptr) {
                    out = RunProcess(GLASSBENCH_CLI, {"send", "--port=" + link, "--no-pulse",
                                                      "--speed=" + std::to_string(speed),
                                                      "--repeat=" + std::to_string(exchanges)})
                              .out;
                } else {
                    auto& module = bench.Module(path.adapter);
                    const int before = module.Frames();
                    out = bench
                              .Run("glassbench-cli send --port=" + BootNode(Adapter(path.adapter)) +
                                       " " + options,
                                   std::chrono::minutes(5))
                              .out;
                    // Also reads the module's lines, which would otherwise fill its pipe.
                    module.WaitForFrames(before + exchanges);
                }
                const auto median = SendFigure(out, "median_us");
                const auto p99 = SendFigure(out, "p99_us");
                if (!median || !p99) {
                    std::fprintf(stderr, "%s: no figures from send:\n%s\n", path.label,
                                 out.c_str());
                    return 1;
                }
                path.medians.push_back(*median);
                path.p99s.push_back(*p99);
            }
        }
        for (const auto& path : paths) {
            std::printf("%-24s %7d %10ld %10ld\n", path.label, speed, Percentile(path.medians, 50),
                        *std::max_element(path.p99s.begin(), path.p99s.end()));
        }
    }

    // Each replug in the middle of send --reconnect: the node back, and the first frame
    // answered after it (the CLI sees the node, opens it and sends at once).
    std::vector<double> replugMs, answeredMs;
    const std::string answered = " s\nsent: AA 04 80 00 2E\nreceived: AA 04 80 00 2E\n";
    for (int i = 0; i < replugs; ++i) {
        if (!bench.Start("glassbench-cli send --port=/dev/ttyUSB0 --no-pulse --repeat=100000 "
                         "--interval=20 --reconnect=60") ||
            !bench.WaitForOutput("received: AA 04 80 00 2E\n")) {
            std::fprintf(stderr, "send: %s\n", bench.Error().c_str());
            return 1;
        }
        const auto unplugged = bench.Unplug("ftdi0");
        if (!unplugged || !bench.WaitForNode("remove", "ttyUSB0", *unplugged)) {
            std::fprintf(stderr, "unplug: %s\n", bench.Error().c_str());
            return 1;
        }
        const auto plugged = bench.Plug("ftdi0");
        const auto back = plugged ? bench.WaitForNode("add", "ttyUSB0", *plugged) : std::nullopt;
        if (!back || !bench.WaitForOutput(answered)) {
            std::fprintf(stderr, "replug: %s\n", bench.Error().c_str());
            return 1;
        }
        const auto first = Clock::now();
        bench.Interrupt();
        bench.Finish();
        replugMs.push_back(std::chrono::duration<double, std::milli>(*back - *plugged).count());
        answeredMs.push_back(std::chrono::duration<double, std::milli>(first - *plugged).count());
    }
    const auto report = [&](const char* what, const std::vector<double>& ms) {
        std::printf("%s: median %.0f ms, %.0f to %.0f ms (%d replugs)\n", what, Percentile(ms, 50),
                    *std::min_element(ms.begin(), ms.end()),
                    *std::max_element(ms.begin(), ms.end()), replugs);
    };
    std::printf("\nin the middle of send --reconnect --interval=20:\n");
    report("replug (device_add) to /dev/ttyUSB0 back", replugMs);
    report("replug to the first frame answered", answeredMs);
    return 0;
}
