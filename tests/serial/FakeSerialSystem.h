// A scripted stand-in for the system's serial services.
//
// The test keeps the FakeWorld and hands the link a FakeSerialSystem that shares it. Each
// device name has a FakePort with switches for every failure the link must handle, a script of
// reply chunks that arrive at given times, and a record of what was written. The clock is
// virtual: it moves only when the link waits, straight to the next scripted arrival or to the
// link's deadline, so a one-second reply window costs nothing and its edges can be checked to
// the nanosecond. Every call the link makes is logged in order.
#pragma once

#include <algorithm>
#include <climits>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "serial/SerialSystem.h"

namespace glassbench::serial::testing {

struct Chunk {
    TimePoint at;
    std::vector<std::uint8_t> bytes;
};

struct FakePort {
    bool exists = true;
    std::error_code openError;  // set: Open fails with it (held by another program...)
    bool failReadSettings = false;
    bool failWriteSettings = false;
    bool failReadTimeouts = false;
    bool failWriteTimeouts = false;
    ModemResult modem = ModemResult::Done;
    LineSettings reported{38400, 7, true, 2, false, false};
    ReadTimeouts reportedTimeouts{50, 10, 100};

    // What the link did.
    bool held = false;
    std::optional<LineSettings> written;
    std::optional<ReadTimeouts> writtenTimeouts;
    bool dtr = false;
    bool rts = false;
    std::vector<std::uint8_t> wire;

    // Bytes the driver takes before it is full, and when room appears again.
    int writeRoom = INT_MAX;
    std::optional<TimePoint> roomAt;

    std::deque<Chunk> incoming;
    std::deque<std::uint8_t> queue;
    std::optional<TimePoint> goneAt;
    // Polls readable with an empty queue and reads 0, as a hung-up terminal does.
    bool endOfFile = false;
};

struct FakeWorld {
    TimePoint now = TimePoint{} + std::chrono::hours(1);
    std::map<std::string, FakePort> ports;
    std::vector<std::string> log;
    int waits = 0;
    int queries = 0;

    FakePort& port(const std::string& name) { return ports[name]; }
    void Arrive(const std::string& name, std::chrono::nanoseconds after,
                std::vector<std::uint8_t> bytes) {
        port(name).incoming.push_back({now + after, std::move(bytes)});
    }
};

class FakeDevice final : public SerialDevice {
  public:
    FakeDevice(std::shared_ptr<FakeWorld> world, std::string name)
        : world_(std::move(world)), name_(std::move(name)) {
        Port().held = true;
    }
    ~FakeDevice() override {
        Port().held = false;
        world_->log.push_back("close " + name_);
    }
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    bool ReadLineSettings(LineSettings& settings) override {
        world_->log.push_back("read-settings");
        if (Port().failReadSettings) {
            error_ = std::make_error_code(std::errc::io_error);
            return false;
        }
        settings = Port().reported;
        return true;
    }
    bool WriteLineSettings(const LineSettings& settings) override {
        world_->log.push_back("write-settings");
        if (Port().failWriteSettings) {
            error_ = std::make_error_code(std::errc::invalid_argument);
            return false;
        }
        Port().written = settings;
        Port().reported = settings;
        return true;
    }
    bool ReadReadTimeouts(ReadTimeouts& timeouts) override {
        world_->log.push_back("read-timeouts");
        if (Port().failReadTimeouts) {
            error_ = std::make_error_code(std::errc::io_error);
            return false;
        }
        timeouts = Port().reportedTimeouts;
        return true;
    }
    bool WriteReadTimeouts(const ReadTimeouts& timeouts) override {
        world_->log.push_back("write-timeouts");
        if (Port().failWriteTimeouts) {
            error_ = std::make_error_code(std::errc::invalid_argument);
            return false;
        }
        Port().writtenTimeouts = timeouts;
        return true;
    }
    ModemResult SetModemLines(bool dtr, bool rts) override {
        world_->log.push_back(std::string("modem dtr=") + (dtr ? "1" : "0") +
                              " rts=" + (rts ? "1" : "0"));
        if (Port().modem == ModemResult::Done) {
            Port().dtr = dtr;
            Port().rts = rts;
        } else {
            error_ = std::make_error_code(std::errc::io_error);
        }
        return Port().modem;
    }

    IoResult Write(const std::uint8_t* bytes, int count) override {
        FakePort& port = Port();
        if (Gone()) {
            return {0, IoStatus::Gone};
        }
        const int taken = std::min(count, port.writeRoom);
        if (taken == 0) {
            return {0, IoStatus::WouldBlock};
        }
        port.wire.insert(port.wire.end(), bytes, bytes + taken);
        if (port.writeRoom != INT_MAX) {
            port.writeRoom -= taken;
        }
        return {taken, IoStatus::Done};
    }
    IoResult QueuedInput() override {
        ++world_->queries;
        Deliver();
        if (Gone()) {
            return {0, IoStatus::Gone};
        }
        return {static_cast<int>(Port().queue.size()), IoStatus::Done};
    }
    IoResult Read(std::uint8_t* buffer, int count) override {
        FakePort& port = Port();
        Deliver();
        if (port.queue.empty()) {
            if (port.endOfFile || Gone()) {
                return {0, IoStatus::Gone};
            }
            return {0, IoStatus::WouldBlock};
        }
        const int n = std::min(count, static_cast<int>(port.queue.size()));
        for (int i = 0; i < n; ++i) {
            buffer[i] = port.queue.front();
            port.queue.pop_front();
        }
        return {n, IoStatus::Done};
    }
    WaitResult Wait(WaitFor what, TimePoint deadline) override {
        ++world_->waits;
        FakePort& port = Port();
        if (what == WaitFor::Output) {
            if (port.writeRoom > 0) {
                return WaitResult::Ready;
            }
            if (port.roomAt && *port.roomAt <= deadline) {
                world_->now = std::max(world_->now, *port.roomAt);
                port.roomAt.reset();
                port.writeRoom = INT_MAX;
                return WaitResult::Ready;
            }
            world_->now = std::max(world_->now, deadline);
            return WaitResult::TimedOut;
        }
        Deliver();
        if (!port.queue.empty() || port.endOfFile) {
            return WaitResult::Ready;
        }
        if (Gone()) {
            return WaitResult::Gone;
        }
        std::optional<TimePoint> next;
        if (!port.incoming.empty()) {
            next = port.incoming.front().at;
        }
        if (port.goneAt && (!next || *port.goneAt < *next)) {
            next = port.goneAt;
        }
        if (next && *next <= deadline) {
            world_->now = std::max(world_->now, *next);
            Deliver();
            return Gone() && port.queue.empty() ? WaitResult::Gone : WaitResult::Ready;
        }
        world_->now = std::max(world_->now, deadline);
        return WaitResult::TimedOut;
    }
    void DiscardInput() override {
        world_->log.push_back("discard");
        Deliver();
        Port().queue.clear();
    }
    std::error_code LastError() const override { return error_; }

  private:
    FakePort& Port() { return world_->ports[name_]; }
    bool Gone() { return Port().goneAt && *Port().goneAt <= world_->now; }
    void Deliver() {
        FakePort& port = Port();
        while (!port.incoming.empty() && port.incoming.front().at <= world_->now) {
            const auto& bytes = port.incoming.front().bytes;
            port.queue.insert(port.queue.end(), bytes.begin(), bytes.end());
            port.incoming.pop_front();
        }
    }

    std::shared_ptr<FakeWorld> world_;
    std::string name_;
    std::error_code error_;
};

class FakeSerialSystem final : public SerialSystem {
  public:
    explicit FakeSerialSystem(std::shared_ptr<FakeWorld> world) : world_(std::move(world)) {}

    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        world_->log.push_back("open " + name);
        FakePort& port = world_->port(name);
        if (!port.exists) {
            error = std::make_error_code(std::errc::no_such_file_or_directory);
            return nullptr;
        }
        if (port.openError || port.held) {
            error = port.openError ? port.openError
                                   : std::make_error_code(std::errc::device_or_resource_busy);
            return nullptr;
        }
        return std::make_unique<FakeDevice>(world_, name);
    }
    bool DeviceExists(const std::string& name) override {
        const auto it = world_->ports.find(name);
        return it != world_->ports.end() && it->second.exists;
    }
    TimePoint Now() override { return world_->now; }

  private:
    std::shared_ptr<FakeWorld> world_;
};

}  // namespace glassbench::serial::testing
