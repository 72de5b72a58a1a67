// A bench of real serial adapters for the tests and the benchmark: Debian's own kernel booted in
// QEMU (TCG) with its USB serial and 16550 drivers, each adapter wired by a chardev socket to a
// virtual module of its own on the host's loopback, and the built CLI inside the guest.
//
// How it talks to the guest: QEMU connects the guest's console (the first 16550, ttyS0) and its
// monitor (QMP, which also tells when a device is gone) to two UNIX sockets this side listens
// on, so nothing QEMU says is lost before it is read. The guest's agent (tests/qemu/guest/gb-agent)
// runs each command line it is sent and frames the output with records, lines that begin with the
// ASCII record separator; mdev in the guest adds a record whenever a serial port's device node
// comes or goes. Every wait reads the console and the monitor together until what it waits for
// arrives or its deadline passes; nothing waits on a timer. A record's time is when this side read
// it.
//
// The board (kBoard) is a table: the FTDI adapters (QEMU's usb-serial, an FT232 that the guest's
// ftdi_sio drives) on an xHCI controller, and a second 16550 (8250 driver). Every chardev
// reconnects once a second, so that a module stopped and started again (a power cycle) brings
// its adapter back; a usb-serial leaves the bus while its chardev is closed.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "RunProcess.h"
#include "TempDir.h"
#include "net/PosixFd.h"

namespace glassbench::testing::qemu {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace std::chrono_literals;

enum class Driver { FtdiSio, Uart8250 };

// One adapter of the board. Its chardev is "c" + id.
struct AdapterSpec {
    std::string_view id;  // QEMU's device id
    Driver driver;
    std::string_view serial;  // an FTDI's USB serial number
    int isaIndex;             // a 16550's ISA index: ttyS<index>
    bool pluggedAtBoot;
};

// The guest boots with ftdi0 as its only USB adapter, so that it is ttyUSB0; ftdi1 is plugged
// by the scenarios that want two adapters of one kind, and unplugged again.
inline constexpr AdapterSpec kBoard[] = {
    {"ftdi0", Driver::FtdiSio, "GB0001", 0, true},
    {"ftdi1", Driver::FtdiSio, "GB0002", 0, false},
    {"uart1", Driver::Uart8250, "", 1, true},
};

const AdapterSpec& Adapter(std::string_view id);
// The node the adapter has in the guest when it is the only one of its kind plugged:
// /dev/ttyUSB0 for an FTDI, /dev/ttyS<index> for a 16550.
std::string BootNode(const AdapterSpec& adapter);

// What a guest command printed (stdout and stderr together) and its exit status; -1 when it
// did not end in time or the guest is gone, `error` then says what happened.
struct GuestResult {
    int status = -1;
    std::string out;
    std::string error;
};

// `glassbench-cli module --listen=socket://127.0.0.1:PORT` for one adapter. Started on a free
// port, and on that same port after a Stop.
class HostModule {
  public:
    explicit HostModule(std::string cli);
    bool Start();  // false when it did not say where it listens; Error() says why
    void Stop();   // as Ctrl+C stops it: its client (the chardev) sees the connection close
    bool Running() const { return process_ != nullptr; }
    int Port() const { return port_; }
    std::string Error() const;
    // Reads the module's lines until it has taken `count` frames since it was started.
    bool WaitForFrames(int count, milliseconds within = 10s);
    int Frames() const;

  private:
    std::string cli_;
    int port_ = 0;
    std::unique_ptr<Process> process_;
};

struct NodeEvent {
    Clock::time_point at;
    std::string action;  // add, remove
    std::string node;    // as under /dev: ttyUSB0
};

class KernelBench {
  public:
    // The guest's files, as tests/qemu/make-guest.sh made them: DIR/kernel, DIR/initramfs.cpio.gz.
    KernelBench(std::filesystem::path guestDir, std::string cli);
    ~KernelBench();
    KernelBench(const KernelBench&) = delete;
    KernelBench& operator=(const KernelBench&) = delete;

    // Starts the modules and QEMU, and waits until the guest's agent reads commands and every
    // adapter plugged at boot has its node. False with Error() set otherwise.
    bool Boot(milliseconds within = 180s);
    const std::string& Error() const { return error_; }
    bool Running() const { return static_cast<bool>(console_); }
    // From QEMU's start to a guest ready with its nodes.
    Clock::duration BootTime() const { return bootTime_; }
    // What the console showed before the agent was ready, and QEMU's own messages.
    std::string BootLog() const;

    // A command line for the guest's shell (busybox sh), run to its end. The guest ends it
    // (SIGTERM, and SIGKILL 2 s later) when it runs longer than `limit`, so that a command that
    // hangs fails its own scenario only.
    GuestResult Run(const std::string& command, milliseconds limit = 60s);
    // The same in steps, for a command during which the host acts: Start sends it, WaitForOutput
    // waits until its output so far holds `text`, Finish waits for its end.
    bool Start(const std::string& command, milliseconds limit = 60s);
    bool WaitForOutput(std::string_view text, milliseconds within = 30s);
    GuestResult Finish();
    // Ctrl+C on the guest's console: SIGINT to the command running, as at a terminal.
    bool Interrupt();

    // The first event for `node` with that action read at `since` or later: its time.
    std::optional<Clock::time_point> WaitForNode(std::string_view action, std::string_view node,
                                                 Clock::time_point since,
                                                 milliseconds within = 30s);
    const std::vector<NodeEvent>& Events() const { return events_; }

    // A command for QEMU's human monitor (through QMP's human-monitor-command); its answer, ""
    // for none. A command that failed answers with "Error: ...".
    std::string Monitor(const std::string& command, milliseconds within = 30s);
    // A QMP command with its arguments as a JSON object ("" for none): the answer's line, or
    // nullopt with Error() set when QMP refused it or did not answer.
    std::optional<std::string> Qmp(std::string_view command, std::string_view arguments,
                                   Clock::time_point deadline);
    // device_del of an adapter, once QEMU has deleted it (and let go of its chardev), and
    // device_add with the properties it booted with: the time the command was sent, or nullopt
    // with Error() set.
    std::optional<Clock::time_point> Unplug(std::string_view id);
    std::optional<Clock::time_point> Plug(std::string_view id);

    HostModule& Module(std::string_view id);

  private:
    // Reads what the console and the monitor have until `done` holds or the deadline passes;
    // false then, or when QEMU has gone (Error() says so).
    template <class Done>
    bool Pump(Done done, Clock::time_point deadline);
    void TakeConsole(std::string_view bytes, Clock::time_point at);
    void TakeRecord(std::string_view record, Clock::time_point at);
    void TakeQmp(std::string_view bytes);
    void Gone(const std::string& why);
    std::vector<std::string> QemuArgs() const;

    std::filesystem::path guestDir_;
    std::string cli_;
    TempDir dir_;
    std::map<std::string, HostModule, std::less<>> modules_;
    std::unique_ptr<Process> qemu_;
    net::UniqueFd console_, monitor_;
    net::UniqueFd pidfd_;  // readable once QEMU has ended
    std::string error_;
    Clock::duration bootTime_{};
    bool ready_ = false;

    // The console's bytes not yet taken as a whole record, and what they were.
    std::string pending_;
    std::string bootLog_;
    std::vector<NodeEvent> events_;
    // The command running: its number, whether its output has begun, the output, the status,
    // and when the guest will have ended it at the latest.
    int seq_ = 0;
    Clock::time_point commandDeadline_;
    bool begun_ = false;
    std::optional<int> status_;
    std::string out_;
    // QMP's lines (answers and events), the part of one not yet ended, the last command's id.
    std::vector<std::string> qmpLines_;
    std::string qmpPending_;
    int qmpId_ = 0;
};

// One of the exchange times send --repeat ends with ("median_us", "p99_us"), or nullopt.
std::optional<long> SendFigure(const std::string& sendOutput, std::string_view name);

}  // namespace glassbench::testing::qemu
