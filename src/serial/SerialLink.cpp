#include "serial/SerialLink.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "serial/NetworkPort.h"
#include "serial/PortSelector.h"

namespace glassbench::serial {

namespace {

constexpr std::string_view kCaption = "Error";
constexpr std::string_view kNoPortText = "No port is open, so I can't set DTR or RTS.";
constexpr std::string_view kGetStateText = "Can't get the port state.";
constexpr std::string_view kSetStateText = "Can't set the port state.";

}  // namespace

void MessageSink::ShowNotice(std::string_view text) {
    std::clog << text << std::endl;
}

int ConfigureLine(SerialDevice& device, int bitsPerSecond, bool keepModemLines) {
    LineSettings settings;
    if (!device.ReadLineSettings(settings)) {
        return 2;
    }
    settings.bitsPerSecond = bitsPerSecond;
    settings.dataBits = 8;
    settings.parity = false;
    settings.stopBits = 1;
    // A freshly plugged adapter on Linux starts cooked with XON/XOFF on; a frame would lose
    // or change 0x0A, 0x0D, 0x03, 0x11 and 0x13, and echo would send back what arrives.
    // Hardware flow control stays as reported.
    settings.raw = true;
    settings.keepModemLines = keepModemLines;
    return device.WriteLineSettings(settings) ? 0 : 3;
}

IoResult Collect(SerialDevice& device, std::uint8_t* buffer, int room, bool woken) {
    const IoResult queued = device.QueuedInput();
    if (queued.status != IoStatus::Done || room <= 0) {
        return {0, queued.status};
    }
    if (queued.count <= 0 && !woken) {
        return {0, IoStatus::Done};
    }
    const IoResult read =
        device.Read(buffer, queued.count > 0 ? std::min(queued.count, room) : room);
    if (read.status == IoStatus::WouldBlock) {
        return {0, IoStatus::Done};
    }
    return read;
}

SerialLink::SerialLink(std::unique_ptr<SerialSystem> system, PortNames portNames, MessageSink* sink)
    : system_(std::move(system)), names_(std::move(portNames)), sink_(sink) {}

SerialLink::~SerialLink() = default;

std::string SerialLink::PortName(int portIndex) const {
    if (portIndex < 0 || portIndex >= kPortCount) {
        return {};
    }
    return names_[static_cast<std::size_t>(portIndex)];
}

std::string SerialLink::DescribePortAt(int portIndex) const {
    const std::string name = PortName(portIndex);
    return name.empty() ? name : DescribePort(name, system_->PresentPorts());
}

std::chrono::nanoseconds SerialLink::WireTime(int count) const {
    if (count <= 0 || bitsPerSecond_ <= 0) {
        return std::chrono::nanoseconds{0};
    }
    return std::chrono::nanoseconds{static_cast<long long>(count) * 10 * 1'000'000'000LL /
                                    bitsPerSecond_};
}

std::string SerialLink::LastOpenReason() const {
    return ReasonText(openError_, openDetail_);
}

int SerialLink::Reopen() {
    if (target_.Name().empty()) {
        return OpenPort(portIndex_, speedIndex_, owner_);
    }
    // The same port, under the name it has now; never another that took its old name.
    const std::optional<std::string> device = IsNetworkPortName(target_.Name())
                                                  ? target_.Name()
                                                  : target_.DeviceNow(system_->PresentPorts());
    if (!device) {
        ready_ = false;
        device_.reset();
        openError_ = std::make_error_code(std::errc::no_such_device);
        openDetail_ = target_.Describe() + " is not there";
        return 1;
    }
    return OpenDevice(*device, false);
}

void SerialLink::Lose(const std::error_code& error, const std::string& detail) {
    lost_ = true;
    ready_ = false;
    lostReason_ = ReasonText(error, detail);
    device_.reset();
}

int SerialLink::OpenPort(int portIndex, int speedIndex, WindowHandle owner) {
    owner_ = owner;
    portIndex_ = portIndex;
    speedIndex_ = speedIndex;
    target_ = PortTarget(PortName(portIndex));
    return OpenDevice(target_.Name(), true);
}

int SerialLink::OpenDevice(const std::string& name, bool first) {
    ready_ = false;
    lost_ = false;
    lostReason_.clear();
    openError_.clear();
    openDetail_.clear();
    // Release first, so a failed open leaves no port held even if one was ready before.
    device_.reset();

    if (name.empty()) {
        openError_ = std::make_error_code(std::errc::no_such_device);
        return 1;
    }
    std::error_code error;
    device_ = system_->Open(name, error);
    if (!device_) {
        openError_ = error ? error : std::make_error_code(std::errc::io_error);
        openDetail_ = system_->LastOpenDetail();
        return 1;
    }
    const int code = Configure(speedIndex_);
    PassNotices();
    if (code != 0) {
        openError_ = device_->LastError();
        openDetail_ = device_->ErrorDetail();
        if (!openError_) {
            openError_ = std::make_error_code(std::errc::invalid_argument);
        }
        return code;
    }
    openedDevice_ = name;
    if (first && !IsNetworkPortName(name)) {
        // What the port is, while it is there, to know it again after a loss.
        openedDevice_ = target_.Opened(system_->PresentPorts());
    }
    ready_ = true;
    return 0;
}

int SerialLink::Configure(int speedIndex) {
    const Speed* speed = SpeedAt(speedIndex);
    LineSettings ignored;
    if (speed == nullptr) {
        // No state block can be built for a speed the table does not have.
        return device_->ReadLineSettings(ignored) ? 3 : 2;
    }
    if (const int step = ConfigureLine(*device_, speed->bitsPerSecond, false); step != 0) {
        return step;
    }
    if (device_->SetModemLines(true, true) == ModemResult::Failed) {
        return 3;
    }
    bitsPerSecond_ = speed->bitsPerSecond;
    wireFreeAt_ = system_->Now();

    switch (device_->ApplyReadTimeouts()) {
        case TimeoutsResult::ReadFailed:
            return 4;
        case TimeoutsResult::WriteFailed:
            return 5;
        case TimeoutsResult::Done:
            break;
    }
    return 0;
}

void SerialLink::SetModemLines(bool dtr, bool rts) {
    if (!device_) {
        Show(kNoPortText, MessageIcon::Information);
        return;
    }
    LineSettings settings;
    if (!device_->ReadLineSettings(settings)) {
        Show(kGetStateText, MessageIcon::Exclamation);
        return;
    }
    // A device without modem lines (a pseudo-terminal, some virtual ports) has nothing to
    // set: that is no failure.
    if (device_->SetModemLines(dtr, rts) == ModemResult::Failed) {
        Show(kSetStateText, MessageIcon::Exclamation);
    }
    PassNotices();
}

int SerialLink::SendBytes(const std::uint8_t* bytes, int count) {
    sendError_.clear();
    stopped_ = false;
    if (!ready_ || !device_) {
        sendError_ = std::make_error_code(std::errc::not_connected);
        return 0;
    }
    if (bytes == nullptr || count <= 0) {
        return 0;
    }
    const TimePoint start = system_->Now();
    // The driver takes the frame into its buffer at once unless the buffer is full (hardware
    // flow control with CTS low); then wait for room, but never past the frame's own wire
    // time plus a grace second, so a stuck line cannot freeze the caller for good.
    const TimePoint deadline = start + WireTime(count) + kWriteGrace;
    int written = 0;
    while (written < count) {
        const IoResult result = device_->Write(bytes + written, count - written);
        if (result.status == IoStatus::Done) {
            written += result.count;
            continue;
        }
        if (result.status != IoStatus::WouldBlock) {
            sendError_ = device_->LastError();
            if (result.status == IoStatus::Gone) {
                Lose(sendError_, device_->ErrorDetail());
            }
            break;
        }
        const WaitResult waited = device_->Wait(WaitFor::Output, deadline);
        if (waited != WaitResult::Ready) {
            stopped_ = waited == WaitResult::Stopped;
            sendError_ = waited == WaitResult::TimedOut ? std::make_error_code(std::errc::timed_out)
                         : stopped_ ? std::make_error_code(std::errc::operation_canceled)
                                    : device_->LastError();
            if (waited == WaitResult::Gone) {
                Lose(sendError_, device_->ErrorDetail());
            }
            break;
        }
    }
    if (written < count && !sendError_) {
        sendError_ = std::make_error_code(std::errc::io_error);
    }
    // Linux's write returns once the driver has buffered the bytes, not once they have left
    // (tcdrain would hang under hardware flow control and returns at once on a pty), so the
    // reply window starts when these bytes will have left the wire.
    wireFreeAt_ = std::max(std::max(start, wireFreeAt_) + WireTime(written), system_->Now());
    return written;
}

int SerialLink::ReceiveExact(std::uint8_t* buffer, int wanted, int tries) {
    lastReceived_ = 0;
    receiveGone_ = false;
    receiveDetail_.clear();
    stopped_ = false;
    if (tries <= 0) {
        return wanted == 0 ? 1 : 0;
    }
    // The first try already finds `total` equal to a `wanted` of 0; a negative `wanted` is
    // never met however long the tries run.
    if (wanted <= 0) {
        return wanted == 0 ? 1 : 0;
    }
    // On a connection that is not ready every try finds nothing, and costs nothing.
    if (!ready_ || !device_ || buffer == nullptr) {
        return 0;
    }
    // A query of the receive queue takes well under a microsecond here, so literal tries
    // would end before a slow module has answered and burn a core meanwhile. Each try is
    // worth 10 us instead, against one deadline from the moment the frame has left the wire;
    // while the queue is empty the link sleeps in the system until bytes arrive.
    const TimePoint start = std::max(system_->Now(), wireFreeAt_);
    const TimePoint deadline = start + kTimePerTry * static_cast<long long>(tries);
    int total = 0;
    bool woken = false;
    for (;;) {
        device_->ExpectInput(wanted - total);
        const IoResult got = Collect(*device_, buffer + total, wanted - total, woken);
        total += got.count;
        lastReceived_ = total;
        if (total == wanted) {
            return 1;
        }
        if (got.status == IoStatus::Gone || got.status == IoStatus::Failed) {
            receiveGone_ = true;
            receiveDetail_ = device_->ErrorDetail();
            if (got.status == IoStatus::Gone) {
                Lose(device_->LastError(), receiveDetail_);
            }
            return 0;
        }
        if (system_->Now() >= deadline) {
            return 0;
        }
        const WaitResult waited = device_->Wait(WaitFor::Input, deadline);
        if (waited == WaitResult::Gone) {
            receiveGone_ = true;
            receiveDetail_ = device_->ErrorDetail();
            Lose(device_->LastError(), receiveDetail_);
            return 0;
        }
        if (waited == WaitResult::Stopped) {
            stopped_ = true;
            return 0;
        }
        woken = waited == WaitResult::Ready;
    }
}

void SerialLink::DiscardInput() {
    if (device_) {
        device_->DiscardInput();
        PassNotices();
    }
}

void SerialLink::PassNotices() {
    for (const std::string& notice : device_->TakeNotices()) {
        if (sink_ != nullptr) {
            sink_->ShowNotice(notice);
        }
    }
}

void SerialLink::Show(std::string_view text, MessageIcon icon) {
    if (sink_ != nullptr) {
        sink_->ShowMessage(owner_, text, kCaption, icon);
    }
}

}  // namespace glassbench::serial
