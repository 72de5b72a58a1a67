// The one serial connection of the process.
//
// A port is opened by its position in the port table and a speed by its position in the
// speed table. OpenPort always releases the device held so far first, then opens, reads and
// writes the line settings and (where the system has them) the read time-outs, and returns 0
// or the number of the step that failed (1 open, 2 read settings, 3 write settings, 4 read
// time-outs, 5 write time-outs). Only a fully configured device is ready; a device that failed
// after opening stays held (nobody else can take it) until the next OpenPort.
//
// Writes go out whole; replies are collected by ReceiveExact, whose try count is turned into
// time: each try waits at most 10 us for bytes, against one deadline that starts when the
// last frame written will have left the wire. The operating system is reached only through
// the SerialSystem seam, so the link's logic runs unchanged against a scripted fake.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "serial/PortTables.h"
#include "serial/PortTarget.h"
#include "serial/SerialSystem.h"

namespace glassbench::serial {

// Opaque owner of the link's message boxes: the window that asked for the last open, or null.
using WindowHandle = void*;

enum class MessageIcon { Information, Exclamation };

// Where SetModemLines' messages go; the window installs its toolkit seam here.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(WindowHandle owner, std::string_view text, std::string_view caption,
                             MessageIcon icon) = 0;
    // What a device says that is no failure (SerialDevice::TakeNotices): a line on stderr,
    // unless the sink has a better place for it.
    virtual void ShowNotice(std::string_view text);
};

// The settings every open applies on top of what the driver reports: `bitsPerSecond`, 8N1,
// raw, and hardware flow control as it was; DTR and RTS as they were if `keepModemLines`.
// 0, or the step that failed: 2 when the settings could not be read, 3 when the new ones
// were refused.
int ConfigureLine(SerialDevice& device, int bitsPerSecond, bool keepModemLines);

// Up to `room` bytes that are queued, without waiting: Done with their count (0 when none),
// or the device's Gone or Failed. `woken`: a wait has just said the device is ready; an empty
// queue is then read all the same, which tells an end of file (a pseudo-terminal whose other
// end has closed polls ready and reads 0) from bytes still on their way.
IoResult Collect(SerialDevice& device, std::uint8_t* buffer, int room, bool woken = false);

class SerialLink {
  public:
    // `system` is the operating system's serial services (CreatePlatformSerialSystem() in
    // the programs, a fake in tests). `sink` may be null: messages are then dropped.
    SerialLink(std::unique_ptr<SerialSystem> system, PortNames portNames,
               MessageSink* sink = nullptr);
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // 0 when the port is open and configured, else 1 to 5 for the step that failed.
    int OpenPort(int portIndex, int speedIndex, WindowHandle owner);
    // Reports its own failures through the message sink.
    void SetModemLines(bool dtr, bool rts);
    // Bytes the system took; 0 when not ready or on failure.
    int SendBytes(const std::uint8_t* bytes, int count);
    // 1 when exactly `wanted` bytes were collected within `tries`, else 0.
    int ReceiveExact(std::uint8_t* buffer, int wanted, int tries);
    // Throws away whatever waits in the receive queue, so a late or extra byte from one
    // exchange cannot become the first byte of the next reply. Callers do it before a write.
    void DiscardInput();

    bool IsReady() const { return ready_; }
    // Whether the port was lost since it was opened: a write, read or wait found the device
    // gone (a pulled adapter, a pseudo-terminal whose other end closed, a network connection
    // closed or reset). The device is given back at that moment, so that an adapter can come
    // back under its old name, and the link is no longer ready.
    bool Lost() const { return lost_; }
    // What the system said when the port was lost, in words (see LastOpenReason).
    std::string LostReason() const { return lostReason_; }
    // Opens the port of the last OpenPort again, at its speed, as OpenPort does: the same
    // port, under the name it has now (a USB adapter is known by what it is, PortTarget.h),
    // never another that took its old name.
    int Reopen();
    // The device the last successful open took (for a selector, the one it matched), and what
    // a reopen waits for, as a person names it (the adapter's selector, or the port's name).
    const std::string& OpenedDevice() const { return openedDevice_; }
    std::string AwaitedPort() const { return target_.Describe(); }
    // The port position of the last OpenPort.
    int OpenedPortIndex() const { return portIndex_; }
    // The system's reason when the last OpenPort failed (what the callers' messages add).
    std::error_code LastOpenError() const { return openError_; }
    // The same reason in words: where more is known than the code says (what a network
    // server said as it closed), that; else the code's message.
    std::string LastOpenReason() const;
    // Bytes the last ReceiveExact collected, whole reply or not.
    int LastReceivedCount() const { return lastReceived_; }
    // Whether the last ReceiveExact ended early because the device failed or disappeared,
    // rather than by a whole reply or its tries running out.
    bool LastReceiveFailed() const { return receiveGone_; }
    // Where the device knows more of that failure than that it failed, the reason in words
    // (a network server's last words as it closed the connection); "" otherwise.
    std::string LastReceiveDetail() const { return receiveDetail_; }
    // Whether the last SendBytes or ReceiveExact was ended by a stop request.
    bool LastWaitStopped() const { return stopped_; }
    // Why the last SendBytes wrote less than asked: not_connected when no port was ready,
    // timed_out when the driver took no more within the write's time, operation_canceled
    // when a stop request ended the wait, else the system's reason. Clear after a whole
    // write.
    std::error_code LastSendError() const { return sendError_; }
    const PortNames& Names() const { return names_; }
    // The row's device name, or "" for an index outside the table.
    std::string PortName(int portIndex) const;
    // What the row's port is, for a person (DescribePort, PortSelector.h); "" for an index
    // outside the table.
    std::string DescribePortAt(int portIndex) const;

    // How long `count` bytes take on the wire at the set speed, at ten bits a byte.
    std::chrono::nanoseconds WireTime(int count) const;

    // One try of ReceiveExact lasts this long when the queue is empty.
    static constexpr std::chrono::microseconds kTimePerTry{10};
    // SendBytes gives up this long after the frame could have left the wire.
    static constexpr std::chrono::seconds kWriteGrace{1};

  private:
    // Opens `name` at the last speed asked for; `first`: the port as named, whose identity
    // is noted for a later reopen.
    int OpenDevice(const std::string& name, bool first);
    int Configure(int speedIndex);
    // The device has gone: it is given back now, with why.
    void Lose(const std::error_code& error, const std::string& detail);
    void Show(std::string_view text, MessageIcon icon);
    // The held device's notices, to the sink.
    void PassNotices();

    std::unique_ptr<SerialSystem> system_;
    PortNames names_;
    MessageSink* sink_;
    std::unique_ptr<SerialDevice> device_;
    bool ready_ = false;
    WindowHandle owner_ = nullptr;
    int bitsPerSecond_ = 9600;
    // When the last frame written will have left the wire; the reply window starts there.
    TimePoint wireFreeAt_{};
    std::error_code openError_;
    std::string openDetail_;
    std::error_code sendError_;
    std::string receiveDetail_;
    bool stopped_ = false;
    bool lost_ = false;
    std::string lostReason_;
    int portIndex_ = -1;
    int speedIndex_ = kDefaultSpeedIndex;
    PortTarget target_;
    std::string openedDevice_;
    int lastReceived_ = 0;
    bool receiveGone_ = false;
};

// The serial services of the system this program was built for (termios on Linux), and the
// network ports on every system. Every wait of theirs ends at a request of `stop` too.
std::unique_ptr<SerialSystem> CreatePlatformSerialSystem(StopToken stop = std::nullopt);

// The same over another system's local devices (a test's), with network ports and selectors
// as every program has them.
std::unique_ptr<SerialSystem> CreatePortSystem(std::unique_ptr<SerialSystem> local,
                                               StopToken stop = std::nullopt);

}  // namespace glassbench::serial
