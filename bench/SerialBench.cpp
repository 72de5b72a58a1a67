// How much the serial link adds to an exchange beyond the wire, and what it costs while it
// waits. Runs the virtual module with wire timing on a pseudo-terminal, so an exchange can be
// no shorter than its frame and reply take at the set speed, and measures the send action's
// exchange, the window's own (serial/Exchange.h): empty the receive queue, write the frame,
// collect five bytes with 100000 tries.
//
// Printed per speed and frame: the median and 99th percentile of the exchange time minus the
// wire time (targets: median at most 100 us), and the process CPU time per exchange. Then the
// CPU used during the one-second reply window of a silent module (target: at most 1 % of a
// core).
//
// Usage: serial_bench [--quick]   (--quick: a few exchanges, for a smoke run)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ModuleProcess.h"
#include "protocol/CommandFrame.h"
#include "serial/Exchange.h"
#include "serial/SerialLink.h"

namespace {

using namespace glassbench;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    return std::chrono::duration<double>(serial::ProcessCpuTime()).count();
}

using serial::Percentile;

int SpeedIndex(int bitsPerSecond) {
    return serial::SpeedIndexFor(bitsPerSecond).value_or(serial::kDefaultSpeedIndex);
}

struct FrameKind {
    const char* name;
    protocol::CommandFields fields;
};

bool Exchanges(const std::string& link, int bitsPerSecond, const FrameKind& kind, int count) {
    serial::SerialLink port(serial::CreatePlatformSerialSystem(), serial::BuildPortNameTable(link));
    if (port.OpenPort(0, SpeedIndex(bitsPerSecond), nullptr) != 0) {
        std::printf("cannot open %s: %s\n", link.c_str(), port.LastOpenError().message().c_str());
        return false;
    }
    protocol::CommandFrame frame{};
    protocol::DataStore store{};
    const auto built = protocol::BuildCommandFrame(kind.fields, frame, store);
    const auto wire = port.WireTime(built.frameLength + protocol::kReplyLength);
    std::vector<double> overheadUs;
    int missing = 0;
    const double cpuStart = CpuSeconds();
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        if (!serial::Exchange(port, frame, built.frameLength).replied) {
            ++missing;
            continue;
        }
        const auto took = Clock::now() - start;
        overheadUs.push_back(std::chrono::duration<double, std::micro>(took - wire).count());
    }
    const double cpuUs = (CpuSeconds() - cpuStart) * 1e6 / count;
    if (overheadUs.empty()) {
        std::printf("%6d baud  %-12s no replies\n", bitsPerSecond, kind.name);
        return false;
    }
    std::printf(
        "%6d baud  %-12s %3d+5 bytes  wire %8.1f us  beyond wire: median %6.1f us  p99 %7.1f us"
        "  cpu/exchange %5.1f us  (%zu exchanges%s)\n",
        bitsPerSecond, kind.name, built.frameLength,
        std::chrono::duration<double, std::micro>(wire).count(), Percentile(overheadUs, 50),
        Percentile(overheadUs, 99), cpuUs, overheadUs.size(), missing > 0 ? ", some missing" : "");
    return missing == 0;
}

// The pseudo-terminal alone: one byte to an echoing thread and back, with no module and no
// link in between. Every exchange crosses the pty twice, so this is the floor under the
// figures above on this machine.
void PtyRoundTrip(int rounds) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof(name)) != 0) {
        return;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    // The echo ends when the terminal side closes: its read then fails.
    std::thread echo([master] {
        char byte = 0;
        while (::read(master, &byte, 1) == 1 && ::write(master, &byte, 1) == 1) {
        }
    });
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        char byte = 'x';
        const auto start = Clock::now();
        if (::write(slave, &byte, 1) != 1 || ::read(slave, &byte, 1) != 1) {
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    ::close(slave);
    echo.join();
    ::close(master);
    if (!us.empty()) {
        std::printf("pty round trip alone (floor): median %6.1f us  p99 %7.1f us  (%zu rounds)\n",
                    Percentile(us, 50), Percentile(us, 99), us.size());
    }
}

bool SilentWait(const std::string& link, int rounds) {
    serial::SerialLink port(serial::CreatePlatformSerialSystem(), serial::BuildPortNameTable(link));
    if (port.OpenPort(0, SpeedIndex(115200), nullptr) != 0) {
        return false;
    }
    protocol::CommandFrame frame{};
    protocol::DataStore store{};
    const auto built = protocol::BuildCommandFrame({}, frame, store);
    std::vector<double> percent;
    double wallMs = 0;
    for (int i = 0; i < rounds; ++i) {
        // The window's exchange, timed from the end of the write: the wait is what is measured.
        auto start = Clock::now();
        double cpuStart = CpuSeconds();
        serial::Exchange(port, frame, built.frameLength, [&](const serial::ExchangeResult&) {
            start = Clock::now();
            cpuStart = CpuSeconds();
        });
        const double cpu = CpuSeconds() - cpuStart;
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        wallMs = wall * 1e3;
        percent.push_back(100.0 * cpu / wall);
    }
    std::printf("silent module: reply window %.1f ms, CPU %.3f %% of a core (median of %d)\n",
                wallMs, Percentile(percent, 50), rounds);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
    char folder[] = "/tmp/glassbench-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    bool ok = true;
    PtyRoundTrip(quick ? 10 : 2000);
    {
        const std::string link = std::string(folder) + "/module";
        bench::ModuleProcess module(link, {"--wire-timing"});
        if (!module.ready()) {
            std::printf("the virtual module did not start\n");
            ok = false;
        } else {
            protocol::CommandFields clear;
            protocol::CommandFields point;
            point.commandIndex = 10;  // Draw Point with the most data a frame carries
            point.dataText = std::string(55 * 3, ' ');
            for (int i = 0; i < 55; ++i) {
                point.dataText.replace(static_cast<std::size_t>(i * 3), 2, "5A");
            }
            const FrameKind kinds[] = {{"Clear Screen", clear}, {"Draw Point", point}};
            for (const int speed : {9600, 115200}) {
                for (const auto& kind : kinds) {
                    const int count = quick ? 5 : (speed == 9600 ? 200 : 1000);
                    ok = Exchanges(link, speed, kind, count) && ok;
                }
            }
        }
        const std::string silentLink = std::string(folder) + "/silent";
        bench::ModuleProcess silent(silentLink, {"--silent"});
        ok = silent.ready() && SilentWait(silentLink, quick ? 1 : 5) && ok;
    }
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
