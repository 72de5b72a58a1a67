// A scripted fake of the system's serial services, for SerialLink's logic and for the
// window's logic above it.
//
// The fake keeps one FakePort per device name, with switches for the failures the link must
// handle, replies that arrive at scripted moments, and a record of what the link did. Its
// clock is virtual and moves only when the link waits, straight to the next arrival or to
// the link's deadline, so reply windows cost nothing and their edges are exact.
#pragma once

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestHex.h"
#include "serial/SerialSystem.h"

namespace glassbench::serial::testing {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

struct FakePort {
    std::errc openError{};  // set: Open fails with it
    int failStep = 0;       // the OpenPort step (2-5) whose call fails
    ModemResult modem = ModemResult::Done;
    bool held = false;
    std::optional<LineSettings> written;
    Bytes wire, queue;
    int writeRoom = INT_MAX;
    // A write the driver keeps in flight, as Windows does (ERROR_IO_PENDING): Write takes
    // nothing at first, and the write ends `after` later having completed `completes` bytes,
    // or failed when that is negative. A wait for output that gives up on it cancels it.
    struct PendingWrite {
        std::chrono::nanoseconds after;
        int completes;
    };
    std::optional<PendingWrite> pending;
    // When the driver has room again; when the device vanishes, to read as a hung-up terminal.
    std::optional<TimePoint> roomAt, goneAt;
    std::map<TimePoint, Bytes> incoming;
    // A module on the other end: each write that takes bytes is answered with the next of
    // these, 20 ms later.
    std::vector<Bytes> answers;
};

struct FakeWorld {
    TimePoint now = TimePoint{} + 1h;
    std::map<std::string, FakePort> ports;
    // Every call that opens or sets up a device, in order; with `logIo`, every discard and
    // write too.
    std::vector<std::string> log;
    bool logSetup = true;
    bool logIo = false;
    int waits = 0;
    // What the system reports present.
    std::vector<PresentPort> present;
};

class FakeDevice final : public SerialDevice {
  public:
    FakeDevice(FakeWorld& world, const std::string& name)
        : w_(world), p_(world.ports[name]), name_(name) {
        p_.held = true;
    }
    ~FakeDevice() override {
        p_.held = false;
        w_.log.push_back("close " + name_);
    }
    // A freshly plugged adapter: 7E2 at 38400, hardware flow control on unless the device
    // has no modem lines to do it with.
    bool ReadLineSettings(LineSettings& s) override {
        s = {38400, 7, true, 2, false, p_.modem == ModemResult::Done};
        return Step("read-settings", 2);
    }
    bool WriteLineSettings(const LineSettings& s) override {
        p_.written = s;
        return Step("write-settings", 3);
    }
    TimeoutsResult ApplyReadTimeouts() override {
        using enum TimeoutsResult;
        return !Step("read-timeouts", 4)    ? ReadFailed
               : !Step("write-timeouts", 5) ? WriteFailed
                                            : Done;
    }
    ModemResult SetModemLines(bool dtr, bool rts) override {
        w_.log.push_back("modem " + std::to_string(dtr) + std::to_string(rts));
        return p_.modem;
    }
    IoResult Write(const std::uint8_t* bytes, int count) override {
        if (Gone()) {
            error_ = std::make_error_code(std::errc::io_error);
            return {0, IoStatus::Gone};
        }
        if (p_.pending) {
            writeEndsAt_ = writeEndsAt_.value_or(w_.now + p_.pending->after);
            if (w_.now < *writeEndsAt_) {
                return {0, IoStatus::WouldBlock};
            }
            count = std::min(count, p_.pending->completes);
            p_.pending.reset();
            writeEndsAt_.reset();
            if (count < 0) {
                error_ = std::make_error_code(std::errc::io_error);
                return {0, IoStatus::Failed};
            }
        }
        const int taken = std::min(count, p_.writeRoom);
        if (taken > 0 && !p_.answers.empty()) {
            p_.incoming[w_.now + 20ms] = p_.answers.front();
            p_.answers.erase(p_.answers.begin());
        }
        if (w_.logIo) {
            w_.log.push_back("write " +
                             glassbench::testing::Hex(bytes, static_cast<std::size_t>(taken)));
        }
        p_.wire.insert(p_.wire.end(), bytes, bytes + taken);
        p_.writeRoom -= taken;
        return {taken, taken > 0 ? IoStatus::Done : IoStatus::WouldBlock};
    }
    IoResult QueuedInput() override {
        Deliver();
        return {static_cast<int>(p_.queue.size()), IoStatus::Done};
    }
    IoResult Read(std::uint8_t* buffer, int count) override {
        Deliver();
        const int n = std::min(count, static_cast<int>(p_.queue.size()));
        std::copy_n(p_.queue.begin(), n, buffer);
        p_.queue.erase(p_.queue.begin(), p_.queue.begin() + n);
        return {n, n > 0 ? IoStatus::Done : Gone() ? IoStatus::Gone : IoStatus::WouldBlock};
    }
    // Jumps the clock to the moment the wait ends: room to write, an arrival, the device
    // vanishing, or the deadline.
    WaitResult Wait(WaitFor what, TimePoint deadline) override {
        ++w_.waits;
        const bool output = what == WaitFor::Output;
        if (output && writeEndsAt_) {
            w_.now = std::max(w_.now, std::min(deadline, *writeEndsAt_));
            if (*writeEndsAt_ <= deadline) {
                return WaitResult::Ready;
            }
            p_.pending.reset();
            writeEndsAt_.reset();
            return WaitResult::TimedOut;
        }
        TimePoint end = std::min(deadline, (output ? p_.roomAt : p_.goneAt).value_or(deadline));
        if (!output && !p_.incoming.empty()) {
            end = std::min(end, p_.incoming.begin()->first);
        }
        if (output || (p_.queue.empty() && !Gone())) {
            w_.now = std::max(w_.now, end);
        }
        if (output) {
            p_.writeRoom = p_.roomAt && *p_.roomAt <= deadline ? INT_MAX : 0;
            return p_.writeRoom > 0 ? WaitResult::Ready : WaitResult::TimedOut;
        }
        Deliver();
        return !p_.queue.empty() || Gone() ? WaitResult::Ready : WaitResult::TimedOut;
    }
    void DiscardInput() override {
        if (w_.logIo) {
            w_.log.push_back("discard");
        }
        p_.queue.clear();
    }
    // The fake has no system handle for WaitForInput to watch, and its clock moves only in
    // Wait: it says it is ready, so a caller takes what is queued and waits with Wait.
    std::optional<WaitToken> InputToken() override { return std::nullopt; }
    std::error_code LastError() const override { return error_; }

  private:
    bool Gone() const { return p_.goneAt && *p_.goneAt <= w_.now; }
    bool Step(const char* what, int step) {
        if (w_.logSetup) {
            w_.log.push_back(what);
        }
        error_ = std::make_error_code(p_.failStep == step ? std::errc::io_error : std::errc{});
        return !error_;
    }
    void Deliver() {
        for (auto it = p_.incoming.begin(); it != p_.incoming.end() && it->first <= w_.now;) {
            p_.queue.insert(p_.queue.end(), it->second.begin(), it->second.end());
            it = p_.incoming.erase(it);
        }
    }

    FakeWorld& w_;
    FakePort& p_;
    std::string name_;
    std::error_code error_;
    std::optional<TimePoint> writeEndsAt_;  // of the pending write in flight
};

class FakeSystem final : public SerialSystem, public FakeWorld {
  public:
    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        log.push_back("open " + name);
        const FakePort& port = ports[name];
        error =
            std::make_error_code(port.held ? std::errc::device_or_resource_busy : port.openError);
        return error ? nullptr : std::make_unique<FakeDevice>(*this, name);
    }
    bool DeviceExists(const std::string& name) override { return ports.contains(name); }
    TimePoint Now() override { return now; }
    std::vector<PresentPort> PresentPorts() override { return present; }
};

}  // namespace glassbench::serial::testing
