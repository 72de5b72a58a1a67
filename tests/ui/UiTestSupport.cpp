#include "UiTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace glassbench::ui::testing {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

class RecordingDevice final : public serial::SerialDevice {
  public:
    RecordingDevice(std::unique_ptr<serial::SerialDevice> real, Log& log)
        : real_(std::move(real)), log_(log) {}

    bool ReadLineSettings(serial::LineSettings& s) override { return real_->ReadLineSettings(s); }
    bool WriteLineSettings(const serial::LineSettings& s) override {
        return real_->WriteLineSettings(s);
    }
    bool ReadReadTimeouts(serial::ReadTimeouts& t) override { return real_->ReadReadTimeouts(t); }
    bool WriteReadTimeouts(const serial::ReadTimeouts& t) override {
        return real_->WriteReadTimeouts(t);
    }
    serial::ModemResult SetModemLines(bool dtr, bool rts) override {
        log_.push_back(ModemLine(dtr, rts));
        return real_->SetModemLines(dtr, rts);
    }
    serial::IoResult Write(const std::uint8_t* bytes, int count) override {
        return real_->Write(bytes, count);
    }
    serial::IoResult QueuedInput() override { return real_->QueuedInput(); }
    serial::IoResult Read(std::uint8_t* buffer, int count) override {
        return real_->Read(buffer, count);
    }
    serial::WaitResult Wait(serial::WaitFor what, serial::TimePoint deadline) override {
        return real_->Wait(what, deadline);
    }
    void DiscardInput() override { real_->DiscardInput(); }
    std::error_code LastError() const override { return real_->LastError(); }

  private:
    std::unique_ptr<serial::SerialDevice> real_;
    Log& log_;
};

}  // namespace

void RecordingToolkit::ShowMessage(WindowHandle owner, std::string_view text,
                                   std::string_view caption, MessageIcon icon) {
    const char* ownerName = owner == nullptr ? "none" : (owner == dialog_ ? "dialog" : "other");
    log_.push_back(MessageLine(caption,
                               icon == MessageIcon::Information ? "information" : "exclamation",
                               ownerName, text));
}

RecordingSerialSystem::RecordingSerialSystem(Log& log)
    : log_(log), real_(serial::CreatePlatformSerialSystem()) {}

std::unique_ptr<serial::SerialDevice> RecordingSerialSystem::Open(const std::string& name,
                                                                  std::error_code& error) {
    log_.push_back(OpenLine(name));
    auto device = real_->Open(name, error);
    if (!device) {
        return nullptr;
    }
    return std::make_unique<RecordingDevice>(std::move(device), log_);
}

std::string MessageLine(std::string_view caption, std::string_view icon, std::string_view owner,
                        std::string_view text) {
    return "message " + std::string(caption) + "/" + std::string(icon) + "/" + std::string(owner) +
           ": " + std::string(text);
}

std::string OpenLine(const std::string& device) {
    return "open " + device;
}

std::string ModemLine(bool dtr, bool rts) {
    return std::string("modem dtr=") + (dtr ? "1" : "0") + " rts=" + (rts ? "1" : "0");
}

Pty::Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    slavePath_ = ::ptsname(master_);
    // Nobody holds the slave open until the program does; until then a read of the master
    // reports EIO, so the master is polled, never read blindly.
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty() {
    if (master_ >= 0) {
        ::close(master_);
    }
}

void Pty::WriteToProgram(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error("pty write failed");
        }
        done += static_cast<std::size_t>(n);
    }
}

int Pty::QueuedForProgram() const {
    // A second descriptor on the slave sees the same queue; the program's lock is advisory.
    const int fd = ::open(slavePath_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    int queued = -1;
    if (::ioctl(fd, FIONREAD, &queued) != 0) {
        queued = -1;
    }
    ::close(fd);
    return queued;
}

ScriptedModule::ScriptedModule(const Pty& pty, std::vector<std::vector<std::uint8_t>> replies)
    : master_(pty.MasterFd()), replies_(std::move(replies)), thread_([this] { Run(); }) {}

ScriptedModule::~ScriptedModule() {
    stop_ = true;
    thread_.join();
}

std::vector<std::uint8_t> ScriptedModule::Wire() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return wire_;
}

void ScriptedModule::Run() {
    std::vector<std::uint8_t> pending;
    std::size_t nextReply = 0;
    while (!stop_) {
        pollfd pfd{master_, POLLIN, 0};
        // A short poll so that the destructor's stop is seen promptly.
        const int ready = ::poll(&pfd, 1, 20);
        if (ready <= 0 || !(pfd.revents & POLLIN)) {
            continue;
        }
        std::uint8_t buffer[512];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            continue;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            wire_.insert(wire_.end(), buffer, buffer + n);
        }
        pending.insert(pending.end(), buffer, buffer + n);
        // Answer every complete frame.
        while (pending.size() >= 2 && pending[0] == 0xAA &&
               pending.size() >= static_cast<std::size_t>(pending[1]) + 1) {
            pending.erase(pending.begin(), pending.begin() + pending[1] + 1);
            if (nextReply < replies_.size()) {
                const auto& reply = replies_[nextReply++];
                std::size_t done = 0;
                while (done < reply.size()) {
                    const ssize_t w = ::write(master_, reply.data() + done, reply.size() - done);
                    if (w <= 0) {
                        break;
                    }
                    done += static_cast<std::size_t>(w);
                }
            }
        }
        while (!pending.empty() && pending[0] != 0xAA) {
            pending.erase(pending.begin());
        }
    }
}

VirtualModule::VirtualModule(const std::filesystem::path& link) : link_(link) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const std::string program = GLASSBENCH_CLI;
    const std::string linkText = link.string();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("module"),
                    const_cast<char*>("--link"), const_cast<char*>(linkText.c_str()), nullptr};
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    outFd_ = pipeFds[0];
    ::fcntl(outFd_, F_SETFL, ::fcntl(outFd_, F_GETFL) | O_NONBLOCK);
    if (rc != 0) {
        return;
    }
    pid_ = pid;
    // The module publishes its link once its pty is ready; wait for it on a deadline, reading
    // what it prints meanwhile so that it never blocks on a full pipe.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    std::error_code ec;
    while (!std::filesystem::exists(link_, ec)) {
        if (Clock::now() >= deadline) {
            return;
        }
        pollfd pfd{outFd_, POLLIN, 0};
        ::poll(&pfd, 1, std::min(RemainingMs(deadline), 10));
        Output();
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
    }
    ready_ = true;
}

VirtualModule::~VirtualModule() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        // The module ends on SIGTERM at once; KILL it if it has not after a deadline.
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            pollfd pfd{outFd_, POLLIN, 0};
            ::poll(&pfd, 1, 10);
            Output();
        }
    }
    if (outFd_ >= 0) {
        ::close(outFd_);
    }
}

std::string VirtualModule::Output() {
    char buffer[4096];
    while (outFd_ >= 0) {
        const ssize_t n = ::read(outFd_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        output_.append(buffer, static_cast<std::size_t>(n));
    }
    return output_;
}

bool ProcessEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.hasExpired(timeout.count())) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

ModalResponder::ModalResponder(std::function<void(QWidget*)> action,
                               std::chrono::milliseconds timeout)
    : answered_(std::make_shared<std::string>()), active_(std::make_shared<bool>(true)) {
    auto* timer = new QTimer(QCoreApplication::instance());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, clock, timeout, action, answered = answered_, active = active_] {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (*active && modal != nullptr && modal->isVisible()) {
                             *answered = modal->metaObject()->className();
                             *active = false;
                             action(modal);
                         }
                         if (!*active || clock->hasExpired(timeout.count())) {
                             timer->stop();
                             timer->deleteLater();
                         }
                     });
    timer->start(5);
}

ModalResponder::~ModalResponder() {
    *active_ = false;
}

CurrentDirectory::CurrentDirectory(const std::filesystem::path& directory)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(directory);
}

CurrentDirectory::~CurrentDirectory() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* previous = std::getenv(name);
    hadPrevious_ = previous != nullptr;
    if (hadPrevious_) {
        previous_ = previous;
    }
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (hadPrevious_) {
        ::setenv(name_.c_str(), previous_.c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

}  // namespace glassbench::ui::testing
