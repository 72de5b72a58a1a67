// What the Qt window's tests drive the real window with: the recording toolkit
// (PanelRecorder.h) and a recording wrapper around the real serial services, both writing
// into one log, the virtual display module as a child process, and a wait for the event
// queue on a deadline.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PanelRecorder.h"
#include "RunProcess.h"
#include "serial/SerialSystem.h"

namespace glassbench::ui::testing {

using namespace std::chrono_literals;

// The platform's serial services, with every open attempt ("open DEVICE") and modem-line
// change ("modem DTR RTS") logged.
class RecordingSerialSystem final : public serial::SerialSystem {
  public:
    explicit RecordingSerialSystem(Log& log) : log_(log) {}

    std::unique_ptr<serial::SerialDevice> Open(const std::string& name,
                                               std::error_code& error) override {
        log_.push_back("open " + name);
        auto device = real_->Open(name, error);
        return device ? std::make_unique<Device>(std::move(device), log_) : nullptr;
    }
    bool DeviceExists(const std::string& name) override { return real_->DeviceExists(name); }
    serial::TimePoint Now() override { return real_->Now(); }
    std::vector<serial::PresentPort> PresentPorts() override { return real_->PresentPorts(); }

  private:
    struct Device final : serial::SerialDevice {
        Device(std::unique_ptr<serial::SerialDevice> d, Log& l) : real(std::move(d)), log(l) {}
        using LS = serial::LineSettings;
        bool ReadLineSettings(LS& s) override { return real->ReadLineSettings(s); }
        bool WriteLineSettings(const LS& s) override { return real->WriteLineSettings(s); }
        serial::TimeoutsResult ApplyReadTimeouts() override { return real->ApplyReadTimeouts(); }
        serial::ModemResult SetModemLines(bool dtr, bool rts) override {
            log.push_back(std::string("modem ") + (dtr ? "1" : "0") + (rts ? "1" : "0"));
            return real->SetModemLines(dtr, rts);
        }
        serial::IoResult Write(const std::uint8_t* b, int n) override { return real->Write(b, n); }
        serial::IoResult QueuedInput() override { return real->QueuedInput(); }
        serial::IoResult Read(std::uint8_t* b, int n) override { return real->Read(b, n); }
        serial::WaitResult Wait(serial::WaitFor w, serial::TimePoint t) override {
            return real->Wait(w, t);
        }
        void ExpectInput(int n) override { real->ExpectInput(n); }
        void DiscardInput() override { real->DiscardInput(); }
        std::optional<serial::WaitToken> InputToken() override { return real->InputToken(); }
        std::error_code LastError() const override { return real->LastError(); }

        std::unique_ptr<serial::SerialDevice> real;
        Log& log;
    };

    Log& log_;
    std::unique_ptr<serial::SerialSystem> real_ = serial::CreatePlatformSerialSystem();
};

// `glassbench-cli module --link LINK OPTIONS...` for as long as the object lives; out() is
// what it prints, a line for each frame it reads.
struct VirtualModule : glassbench::testing::Process {
    explicit VirtualModule(const std::string& link, std::vector<std::string> options = {})
        : Process(GLASSBENCH_CLI, Args(link, std::move(options))), link_(link) {}
    static std::vector<std::string> Args(const std::string& link, std::vector<std::string> o) {
        o.insert(o.begin(), {"module", "--link", link});
        return o;
    }

    // It prints "module: LINK -> PTY" once its link is published.
    bool Ready() { return WaitFor(" -> ", 10s); }
    bool Printed(const std::string& text) { return WaitFor(text, 10s); }
    const std::string& Link() const { return link_; }

  private:
    std::string link_;
};

// Processes events until `done` holds or `timeout` passes; returns `done()`. With a `done` that
// never holds it lets queued work run for `timeout`, to catch anything that comes late.
inline bool ProcessEventsUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout = 5s) {
    QElapsedTimer clock;
    for (clock.start(); !done() && !clock.hasExpired(timeout.count());) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

}  // namespace glassbench::ui::testing
