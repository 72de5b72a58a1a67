// The floor under an exchange on Windows: the least a Win32 program can do for one. A plain
// blocking loop over a port opened without overlapped I/O: PurgeComm, WriteFile of the Clear
// Screen frame, ReadFile of the five-byte reply with a one-second read time-out, nothing else.
// bench/exchange-linux-vs-wine.sh prints its figures beside glassbench-cli.exe's, in the words
// of glassbench-cli send --repeat: an exchange is timed from the purge to the reply, the median
// and 99th percentile over the exchanges that were answered, and the process's CPU time per
// exchange.
//
// Usage: exchange_floor.exe PORT SPEED EXCHANGES
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "protocol/CommandFrame.h"
#include "serial/Exchange.h"
#include "serial/SerialSystem.h"

namespace {

using glassbench::serial::Clock;

// Clear Screen, which the module answers with five bytes.
constexpr BYTE kFrame[] = {0xAA, 0x04, 0x80, 0x00, 0x2E};
constexpr DWORD kReplyLength = glassbench::protocol::kReplyLength;

HANDLE OpenPort(const char* name, DWORD bitsPerSecond) {
    const HANDLE port =
        ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return port;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    COMMTIMEOUTS timeouts{};
    bool set = ::GetCommState(port, &dcb) && ::GetCommTimeouts(port, &timeouts);
    dcb.BaudRate = bitsPerSecond;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutX = dcb.fInX = dcb.fNull = dcb.fErrorChar = FALSE;
    // A read waits for its five bytes, one second at most.
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 1000;
    set = set && ::SetCommState(port, &dcb) && ::SetCommTimeouts(port, &timeouts);
    if (!set) {
        ::CloseHandle(port);
        return INVALID_HANDLE_VALUE;
    }
    return port;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: exchange_floor.exe PORT SPEED EXCHANGES\n");
        return 2;
    }
    const int exchanges = std::atoi(argv[3]);
    const HANDLE port = OpenPort(argv[1], static_cast<DWORD>(std::atoi(argv[2])));
    if (port == INVALID_HANDLE_VALUE || exchanges <= 0) {
        std::fprintf(stderr, "exchange_floor: cannot open %s (%lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    std::vector<long long> took;
    const auto cpuStart = glassbench::serial::ProcessCpuTime();
    for (int i = 0; i < exchanges; ++i) {
        const auto start = Clock::now();
        ::PurgeComm(port, PURGE_RXCLEAR);
        DWORD written = 0;
        BYTE reply[kReplyLength];
        DWORD got = 0;
        if (::WriteFile(port, kFrame, sizeof(kFrame), &written, nullptr) &&
            written == sizeof(kFrame) && ::ReadFile(port, reply, kReplyLength, &got, nullptr) &&
            got == kReplyLength) {
            took.push_back(
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start)
                    .count());
        }
    }
    const auto cpu = glassbench::serial::ProcessCpuTime() - cpuStart;
    const long long cpuUs = std::chrono::duration_cast<std::chrono::microseconds>(cpu).count();
    std::printf(
        "exchanges: %d, replies: %zu, median_us: %lld, p99_us: %lld, cpu_us_per_exchange: "
        "%lld\n",
        exchanges, took.size(), glassbench::serial::Percentile(took, 50),
        glassbench::serial::Percentile(took, 99), (cpuUs + exchanges / 2) / exchanges);
    ::CloseHandle(port);
    return took.size() == static_cast<std::size_t>(exchanges) ? 0 : 1;
}
