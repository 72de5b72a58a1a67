// What the window's tests drive the real dialog with: a recorder in place of the toolkit seam,
// a recording wrapper around the real serial services, pseudo-terminal peers, and helpers
// that wait for the event queue on a deadline.
//
// The recorder and the serial wrapper write into one log, so a test sees the open attempts,
// the modem-line pulse, the pause, the busy cursor and the message boxes in the order they
// happened.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/SerialLink.h"
#include "serial/SerialSystem.h"
#include "ui/Toolkit.h"

class QWidget;

namespace glassbench::ui::testing {

using Log = std::vector<std::string>;

// The toolkit seam's test double: every call becomes a log line, nothing blocks.
class RecordingToolkit final : public Toolkit {
  public:
    explicit RecordingToolkit(Log& log) : log_(log) {}

    // Boxes owned by this window are logged as "dialog".
    void SetDialog(QWidget* dialog) { dialog_ = OwnerHandle(dialog); }

    void ShowMessage(WindowHandle owner, std::string_view text, std::string_view caption,
                     MessageIcon icon) override;
    void BeginBusyCursor() override { log_.push_back("busy on"); }
    void EndBusyCursor() override { log_.push_back("busy off"); }
    void Pause(std::chrono::milliseconds duration) override {
        log_.push_back("pause " + std::to_string(duration.count()));
    }

  private:
    Log& log_;
    WindowHandle dialog_ = nullptr;
};

// The platform's serial services, with every open attempt and modem-line change logged.
class RecordingSerialSystem final : public serial::SerialSystem {
  public:
    explicit RecordingSerialSystem(Log& log);

    std::unique_ptr<serial::SerialDevice> Open(const std::string& name,
                                               std::error_code& error) override;
    bool DeviceExists(const std::string& name) override { return real_->DeviceExists(name); }
    serial::TimePoint Now() override { return real_->Now(); }

  private:
    Log& log_;
    std::unique_ptr<serial::SerialSystem> real_;
};

// The log lines a message box and an open attempt produce.
std::string MessageLine(std::string_view caption, std::string_view icon, std::string_view owner,
                        std::string_view text);
std::string OpenLine(const std::string& device);
std::string ModemLine(bool dtr, bool rts);

// A pseudo-terminal pair; the program opens the slave by its path, the test holds the master.
class Pty {
  public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }
    void WriteToProgram(const std::vector<std::uint8_t>& bytes);
    // Bytes waiting in the slave's input queue, unread by the program.
    int QueuedForProgram() const;

  private:
    int master_ = -1;
    std::string slavePath_;
};

// A display module stand-in on a pty master: it reads frames (0xAA, L, ... up to L + 1 bytes)
// and answers each with the next scripted reply, and keeps every byte it read.
class ScriptedModule {
  public:
    ScriptedModule(const Pty& pty, std::vector<std::vector<std::uint8_t>> replies);
    ~ScriptedModule();
    ScriptedModule(const ScriptedModule&) = delete;
    ScriptedModule& operator=(const ScriptedModule&) = delete;

    std::vector<std::uint8_t> Wire() const;

  private:
    void Run();

    int master_;
    std::vector<std::vector<std::uint8_t>> replies_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> wire_;
    std::thread thread_;
};

// `glassbench-cli module --link PATH` in the background, for as long as the object lives.
class VirtualModule {
  public:
    explicit VirtualModule(const std::filesystem::path& link);
    ~VirtualModule();
    VirtualModule(const VirtualModule&) = delete;
    VirtualModule& operator=(const VirtualModule&) = delete;

    // False when the module did not publish its link in time.
    bool Ready() const { return ready_; }
    const std::filesystem::path& Link() const { return link_; }
    // What the module printed so far on its standard output.
    std::string Output();

  private:
    std::filesystem::path link_;
    int pid_ = -1;
    int outFd_ = -1;
    std::string output_;
    bool ready_ = false;
};

// Processes events until `done` holds or `timeout` passes; returns `done()`.
bool ProcessEventsUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Answers the next modal window that opens with `action` (from the event loop, so a call
// that runs the window modally can return), as an operator would. Stops after `timeout`.
class ModalResponder {
  public:
    explicit ModalResponder(std::function<void(QWidget*)> action,
                            std::chrono::milliseconds timeout = std::chrono::seconds(5));
    ~ModalResponder();
    ModalResponder(const ModalResponder&) = delete;
    ModalResponder& operator=(const ModalResponder&) = delete;

    // The class name of the window answered, or "" when none showed.
    const std::string& Answered() const { return *answered_; }

  private:
    std::shared_ptr<std::string> answered_;
    std::shared_ptr<bool> active_;
};

// Sets the current directory for the lifetime of the object.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const std::filesystem::path& directory);
    ~CurrentDirectory();

  private:
    std::filesystem::path previous_;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();

  private:
    std::string name_;
    std::string previous_;
    bool hadPrevious_;
};

}  // namespace glassbench::ui::testing
