// The virtual module on a pseudo-terminal, on POSIX systems.
//
// It opens a pseudo-terminal pair and publishes the terminal side's path as a symbolic link,
// which the tool opens like any serial device, and reads the master side. One wait watches the
// master side, the stop request and a watch on the terminal's closes; with wire timing, a
// character takes ten bit times at the speed the other side set (a pty master reports the
// terminal side's settings).
//
// The module keeps a descriptor of the terminal side open itself, so the master never reports
// a hang-up while the tool is away and the loop never spins; the tool may close and reopen the
// port at will. A tool that dies holding TIOCEXCL would leave the pty exclusive (its settings
// outlive the tool, since the pty does); when the terminal is closed and nobody holds its lock
// any more, the module clears that mode.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <ostream>
#include <utility>

#include "module/ModuleCore.h"
#include "module/ModulePlatform.h"
#include "net/PosixFd.h"
#include "serial/PosixTermios.h"

namespace glassbench::module {

namespace {

using net::UniqueFd;

std::string SystemReason() {
    return std::strerror(errno);
}

// $XDG_RUNTIME_DIR/glassbench-module, or /tmp/glassbench-module-UID without that variable.
std::string DefaultLinkPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string(runtime) + "/glassbench-module";
    }
    return "/tmp/glassbench-module-" + std::to_string(::getuid());
}

// Removes the link on the way out, unless another module has taken it over meanwhile.
class PublishedLink {
  public:
    PublishedLink(std::string path, std::string target)
        : path_(std::move(path)), target_(std::move(target)) {}
    ~PublishedLink() {
        if (!active_) {
            return;
        }
        char current[512];
        const ssize_t n = ::readlink(path_.c_str(), current, sizeof(current) - 1);
        if (n > 0 && std::string(current, static_cast<std::size_t>(n)) == target_) {
            ::unlink(path_.c_str());
        }
    }
    PublishedLink(const PublishedLink&) = delete;
    PublishedLink& operator=(const PublishedLink&) = delete;

    // A stale link (left by a module that was killed) is replaced; anything that is not a
    // link is left alone.
    bool Publish(std::string& reason) {
        struct stat info {};
        if (::lstat(path_.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
            reason = path_ + " exists and is not a link";
            return false;
        }
        const std::string temporary = path_ + ".new-" + std::to_string(::getpid());
        ::unlink(temporary.c_str());
        if (::symlink(target_.c_str(), temporary.c_str()) != 0) {
            reason = "cannot create " + temporary + ": " + SystemReason();
            return false;
        }
        if (::rename(temporary.c_str(), path_.c_str()) != 0) {
            reason = "cannot create " + path_ + ": " + SystemReason();
            ::unlink(temporary.c_str());
            return false;
        }
        active_ = true;
        return true;
    }

  private:
    std::string path_;
    std::string target_;
    bool active_ = false;
};

// How often, and how many times, exclusive mode is looked at again after a close.
constexpr std::chrono::milliseconds kStaleCheckInterval{20};
constexpr int kStaleChecks = 5;

class PtyLine final : public ModuleLine {
  public:
    explicit PtyLine(std::ostream& out) : out_(out) {}

    bool Open(std::string& reason) {
        master_ = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        char name[128] = {};
        if (!master_ || ::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0 ||
            ::ptsname_r(master_.Get(), name, sizeof(name)) != 0) {
            reason = "cannot open a pseudo-terminal: " + SystemReason();
            return false;
        }
        slavePath_ = name;
        // Our own descriptor of the terminal side: while it is open the master never reports
        // a hang-up, so the tool may come and go without the loop spinning on POLLHUP.
        slave_ = UniqueFd(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!slave_) {
            reason = "cannot open " + slavePath_ + ": " + SystemReason();
            return false;
        }
        closes_ = UniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (closes_ &&
            ::inotify_add_watch(closes_.Get(), name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
            closes_.Reset();
        }
        return true;
    }

    const std::string& SlavePath() const { return slavePath_; }

    void Run(ModuleCore& core, const serial::StopRequest& stop) {
        for (;;) {
            core.Tick();
            if (staleCheckAt_ && *staleCheckAt_ <= Clock::now()) {
                CheckStaleExclusive();
            }
            std::optional<TimePoint> wake = core.NextWake();
            if (staleCheckAt_) {
                wake = wake ? std::min(*wake, *staleCheckAt_) : *staleCheckAt_;
            }
            std::vector<serial::WaitToken> tokens{master_.Get(), stop.Token()};
            if (closes_) {
                tokens.push_back(closes_.Get());
            }
            serial::WaitForAny(tokens, wake.value_or(Clock::now() + std::chrono::hours(24)));
            if (stop.Requested()) {
                return;
            }
            // Every descriptor is non-blocking: reading one that has nothing costs one call.
            ReadMaster(core);
            if (closes_ && DrainCloses()) {
                OnTerminalClosed();
            }
        }
    }

    // The pace of the wire: ten bit times at the speed the other side has set.
    std::chrono::nanoseconds CharacterTime() override {
        termios t{};
        if (::tcgetattr(master_.Get(), &t) != 0) {
            return std::chrono::nanoseconds{0};
        }
        const int bps = serial::BitsPerSecond(::cfgetospeed(&t));
        if (bps == 0) {
            return std::chrono::nanoseconds{0};
        }
        return std::chrono::nanoseconds{10'000'000'000LL / bps};
    }

    std::optional<std::string> WhyNotAnswer() override {
        termios t{};
        if (::tcgetattr(master_.Get(), &t) == 0 && (t.c_lflag & ECHO) != 0) {
            // The other side echoes what it receives: the answer would come straight back as
            // a well-formed frame and be answered again, for ever.
            return "the terminal echoes (not set to raw)";
        }
        return std::nullopt;
    }

    bool Write(std::span<const std::uint8_t> bytes) override {
        const ssize_t n = ::write(master_.Get(), bytes.data(), bytes.size());
        return n == static_cast<ssize_t>(bytes.size());
    }

  private:
    void ReadMaster(ModuleCore& core) {
        std::uint8_t chunk[4096];
        for (;;) {
            const ssize_t n = ::read(master_.Get(), chunk, sizeof(chunk));
            if (n <= 0) {
                return;
            }
            core.Receive({chunk, static_cast<std::size_t>(n)});
        }
    }

    // Whether the watch reported a close; its events are read and dropped.
    bool DrainCloses() {
        char buffer[4096];
        bool closed = false;
        while (::read(closes_.Get(), buffer, sizeof(buffer)) > 0) {
            closed = true;
        }
        return closed;
    }

    // Someone closed the terminal side. If nobody holds its lock any more, a tool that died
    // while holding it may have left exclusive mode behind; clear it so the next one can open.
    void OnTerminalClosed() {
        staleChecks_ = kStaleChecks;
        CheckStaleExclusive();
    }

    // A tool that closes normally has cleared exclusive mode itself, and then the lock is
    // left alone, so a tool opening at this moment never finds it taken by us. Exclusive mode
    // with nobody holding the lock is what a dead tool leaves. The close is reported before
    // the kernel drops the closing file's lock, so a lock still held is looked at again a
    // little later.
    void CheckStaleExclusive() {
        staleCheckAt_.reset();
        int exclusive = 0;
        if (::ioctl(slave_.Get(), TIOCGEXCL, &exclusive) != 0 || exclusive == 0) {
            return;
        }
        if (::flock(slave_.Get(), LOCK_EX | LOCK_NB) != 0) {
            if (--staleChecks_ > 0) {
                staleCheckAt_ = Clock::now() + kStaleCheckInterval;
            }
            return;
        }
        ::ioctl(slave_.Get(), TIOCNXCL);
        ::flock(slave_.Get(), LOCK_UN);
        out_ << "cleared exclusive mode left behind by a closed port" << std::endl;
    }

    std::ostream& out_;
    UniqueFd master_;
    UniqueFd slave_;
    UniqueFd closes_;
    std::string slavePath_;
    std::optional<TimePoint> staleCheckAt_;
    int staleChecks_ = 0;
};

}  // namespace

int ServeOnPty(const ModuleOptions& options, const serial::StopRequest& stop, std::ostream& out,
               std::ostream& err) {
    PtyLine line(out);
    std::string reason;
    if (!line.Open(reason)) {
        err << "glassbench-cli module: " << reason << "\n";
        return 1;
    }
    const std::string linkPath = options.linkPath.empty() ? DefaultLinkPath() : options.linkPath;
    PublishedLink link(linkPath, line.SlavePath());
    if (!link.Publish(reason)) {
        err << "glassbench-cli module: " << reason << "\n";
        return 1;
    }
    out << "module: " << linkPath << " -> " << line.SlavePath() << std::endl;
    ModuleCore core(options, line, out);
    line.Run(core, stop);
    return 0;
}

}  // namespace glassbench::module
