// The seam between SerialLink and the operating system's serial services.
//
// SerialLink holds all of the connection's logic: the order of the open steps, the result
// codes, the states, the reply window. It reaches the system only through these two small
// interfaces, which do one system thing each and never block for longer than they are told:
// writes and reads are non-blocking and Wait is the only place that waits, up to a deadline on
// the system's monotonic clock. On POSIX systems PosixSerialSystem.cpp opens devices (UUCP lock
// files, flock, TIOCEXCL: PosixPortLocks.h), PosixSerialDevice.cpp drives an open one (ioctl,
// poll, low latency) and PosixTermios.cpp builds its raw line settings; Win32SerialSystem.cpp does
// all of it with the Win32 communications functions and overlapped reads and writes (a wait for
// input is a read in flight), and the unit tests use a scripted fake whose clock moves only when
// the link waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "net/Io.h"
#include "protocol/Clock.h"
#include "serial/PortIdentity.h"

namespace glassbench::serial {

using protocol::Clock;
using protocol::TimePoint;

// The line settings the link cares about, in platform-free form. ReadLineSettings reports
// them as the driver has them; WriteLineSettings applies them on top of the block it last
// read, so every setting not named here keeps the driver's value.
struct LineSettings {
    int bitsPerSecond = 0;
    int dataBits = 8;
    bool parity = false;
    int stopBits = 1;
    // Binary transfer: no line editing, echo, signal characters, input or output translation
    // or software flow control; the receiver on and modem status ignored for reading.
    bool raw = false;
    // CTS/RTS handshake, which the link keeps as the driver reported it.
    bool hardwareFlow = false;
    // Whether writing the settings leaves DTR and RTS as the driver has them. Only the Win32
    // state block carries the modem lines, and writing it turns both on unless told to keep
    // them; termios has none (SetModemLines drives them there). A listener on a tapped line
    // keeps them: it must never drive the line. ReadLineSettings reports false.
    bool keepModemLines = false;

    bool operator==(const LineSettings&) const = default;
};

using net::IoResult;
using net::IoStatus;
using net::StopToken;
using net::WaitFor;
using net::WaitForAny;
using net::WaitResult;
using net::WaitToken;

// A failure in words: the device's or system's own account where it has one (ErrorDetail,
// LastOpenDetail), else the code's message.
inline std::string ReasonText(const std::error_code& error, std::string_view detail) {
    return detail.empty() ? error.message() : std::string(detail);
}

enum class ModemResult { Done, NoModemLines, Failed };
// Which half of setting the read time-outs failed, if any.
enum class TimeoutsResult { Done, ReadFailed, WriteFailed };

// One open, exclusively held serial device. Destroying it releases the device and whatever
// made it exclusive.
class SerialDevice {
  public:
    virtual ~SerialDevice() = default;

    virtual bool ReadLineSettings(LineSettings& settings) = 0;
    virtual bool WriteLineSettings(const LineSettings& settings) = 0;
    // Reads the driver's time-out block and writes back its read half: a read returns as soon
    // as a byte is queued, or after a second with none; the write half stays as it was. Only
    // Windows has such a block (its waits for input are reads); elsewhere reads never wait
    // inside the driver and there is nothing to set.
    virtual TimeoutsResult ApplyReadTimeouts() = 0;
    // Raises or drops DTR and RTS. NoModemLines: the device has none (pseudo-terminals).
    virtual ModemResult SetModemLines(bool dtr, bool rts) = 0;

    // Non-blocking: takes what the driver has room for. WouldBlock: nothing taken yet; wait
    // for output, then call again with the same bytes. (On Windows the write stays in flight
    // meanwhile, and that call reports what it completed, or how it failed.)
    virtual IoResult Write(const std::uint8_t* bytes, int count) = 0;
    // The number of bytes in the receive queue.
    virtual IoResult QueuedInput() = 0;
    // Non-blocking: reads at most `count` queued bytes.
    virtual IoResult Read(std::uint8_t* buffer, int count) = 0;
    // Waits until input is queued (or output room is free, or a write in flight has ended),
    // the device disappears, or the deadline passes. Returns Ready at once if the condition
    // already holds. A write still in flight at the deadline is given up (cancelled).
    virtual WaitResult Wait(WaitFor what, TimePoint deadline) = 0;
    // The bytes a caller is about to collect, waiting for them if need be. A device whose wait
    // for input is a read (Windows) starts that read now and asks for that many, so that a
    // whole reply comes in one read; a wait still ends with the first bytes the driver hands
    // over. Devices that poll need not know.
    virtual void ExpectInput(int count) { static_cast<void>(count); }
    // Throws away everything in the receive queue.
    virtual void DiscardInput() = 0;
    // Makes ready a wait for input over several devices (WaitForInput) and tells what to
    // watch; nullopt when input is queued already or the device has gone, and nothing need be
    // waited for.
    virtual std::optional<WaitToken> InputToken() = 0;

    // The system's reason for the last operation that failed.
    virtual std::error_code LastError() const = 0;
    // Where more is known of that failure than its code says, the whole reason in words (a
    // network server's last words before it closed the connection); "" otherwise.
    virtual std::string ErrorDetail() const { return {}; }
    // What the device has to tell that is no failure, once each: a network port's server
    // that ignores a request, a setting it cannot have. Local devices have nothing to say.
    virtual std::vector<std::string> TakeNotices() { return {}; }
};

// The serial services of the system a program runs on, reached through one of these. Names
// written as URLs (NetworkPort.h) are network ports on every system; the rest are the local
// system's devices.
class SerialSystem {
  public:
    virtual ~SerialSystem() = default;

    // Opens an existing device for reading and writing, exclusively: a device that another
    // program holds fails. Returns null with the system's reason in `error` on failure.
    virtual std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) = 0;
    // Where more is known of the last failed Open than its code says, the whole reason in
    // words (what a network server said as it closed the connection); "" otherwise.
    virtual std::string LastOpenDetail() const { return {}; }
    // Whether a device of that name is present, without opening it.
    virtual bool DeviceExists(const std::string& name) = 0;
    virtual TimePoint Now() = 0;
    // Every serial port the system reports present, with what it tells of each
    // (PortIdentity.h); nothing where it keeps no such list.
    virtual std::vector<PresentPort> PresentPorts() { return {}; }
    // Who holds a device that would not open because it is busy, as the rest of "port NAME
    // is ...": "in use by minicom (pid 1234)"; empty where that cannot be told.
    virtual std::string BusyReason(const std::string& name) {
        static_cast<void>(name);
        return {};
    }
};

// The local system's serial devices alone: termios on POSIX systems, the communications
// functions on Windows (CreatePlatformSerialSystem, SerialLink.h, adds the network ports).
// Their waits end at a request of `stop` too.
std::unique_ptr<SerialSystem> CreateLocalSerialSystem(StopToken stop = std::nullopt);

// Waits in one wait until one of `devices` has input queued or has gone, or the deadline
// passes; the index of such a device (the first of them, if several), or nullopt at the
// deadline. `extra` tokens (a stop request's) end the wait too, reported as devices.size() +
// their index.
std::optional<std::size_t> WaitForInput(std::span<SerialDevice* const> devices, TimePoint deadline,
                                        std::span<const WaitToken> extra = {});

// The CPU time this process has used so far, all threads, user and system.
std::chrono::nanoseconds ProcessCpuTime();

}  // namespace glassbench::serial
