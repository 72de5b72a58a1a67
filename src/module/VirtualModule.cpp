#include "module/VirtualModule.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "module/ModuleFrames.h"
#include "protocol/FrameScanner.h"
#include "protocol/HexText.h"
#include "serial/PosixTermios.h"
#include "serial/StopRequest.h"

namespace glassbench::module {

namespace {

using protocol::ScanEvent;

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_ = -1;
};

std::string SystemReason() {
    return std::strerror(errno);
}

// A reader of our output that goes away must not end the module before it has removed its
// link: SIGPIPE is ignored while the module runs.
class IgnoreBrokenPipe {
  public:
    IgnoreBrokenPipe() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGPIPE, &ignore, &old_);
    }
    ~IgnoreBrokenPipe() { ::sigaction(SIGPIPE, &old_, nullptr); }
    IgnoreBrokenPipe(const IgnoreBrokenPipe&) = delete;
    IgnoreBrokenPipe& operator=(const IgnoreBrokenPipe&) = delete;

  private:
    struct sigaction old_ {};
};

// ---- the published link ------------------------------------------------------------------

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

// How long before a reply byte is due the module stops sleeping (see SendDue).
constexpr std::chrono::microseconds kFinalApproach{50};

// How often, and how many times, exclusive mode is looked at again after a close.
constexpr std::chrono::milliseconds kStaleCheckInterval{20};
constexpr int kStaleChecks = 5;

struct TimedByte {
    std::uint8_t byte;
    TimePoint at;
};

class Module {
  public:
    Module(const ModuleOptions& options, std::ostream& out) : options_(options), out_(out) {}

    bool Open(std::string& reason) {
        master_ = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        char name[128] = {};
        if (!master_ || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0 ||
            ::ptsname_r(master_.get(), name, sizeof(name)) != 0) {
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
            ::inotify_add_watch(closes_.get(), name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
            closes_.reset();
        }
        return true;
    }

    const std::string& SlavePath() const { return slavePath_; }

    void Run(int stopFd) {
        std::vector<ScanEvent> events;
        for (;;) {
            const TimePoint now = Clock::now();
            scanner_.Expire(now, events);
            Handle(events);
            SendDue(now);
            if (staleCheckAt_ && *staleCheckAt_ <= now) {
                CheckStaleExclusive();
            }

            std::optional<TimePoint> wake = scanner_.NextExpiry();
            const auto earliest = [&wake](TimePoint at) { wake = wake ? std::min(*wake, at) : at; };
            if (!outgoing_.empty()) {
                earliest(outgoing_.front().at - kFinalApproach);
            }
            if (staleCheckAt_) {
                earliest(*staleCheckAt_);
            }
            pollfd fds[3] = {
                {master_.get(), POLLIN, 0}, {stopFd, POLLIN, 0}, {closes_.get(), POLLIN, 0}};
            const nfds_t count = closes_ ? 3 : 2;
            timespec timeout{};
            timespec* timeoutPtr = nullptr;
            if (wake) {
                const auto left = std::max(*wake - Clock::now(), Clock::duration::zero());
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
                timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
                timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
                timeoutPtr = &timeout;
            }
            const int rc = ::ppoll(fds, count, timeoutPtr, nullptr);
            if (rc < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents != 0) {
                return;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                ReadMaster(events);
            }
            if (count == 3 && (fds[2].revents & POLLIN) != 0) {
                OnTerminalClosed();
            }
        }
    }

  private:
    // The pace of the wire in nanoseconds per byte, at the speed the other side has set.
    std::chrono::nanoseconds ByteTime() const {
        termios t{};
        if (!options_.wireTiming || ::tcgetattr(master_.get(), &t) != 0) {
            return std::chrono::nanoseconds{0};
        }
        const int bps = serial::BitsPerSecond(::cfgetospeed(&t));
        if (bps == 0) {
            return std::chrono::nanoseconds{0};
        }
        return std::chrono::nanoseconds{10'000'000'000LL / bps};
    }

    // Bytes are scanned as soon as they are read, each stamped with the moment it will have
    // arrived: its ten bit times after the byte before. Only the answer waits for those
    // moments, so the loop wakes for what the other side sees, not for every byte.
    void ReadMaster(std::vector<ScanEvent>& events) {
        const TimePoint now = Clock::now();
        const auto byteTime = ByteTime();
        std::uint8_t chunk[4096];
        for (;;) {
            const ssize_t n = ::read(master_.get(), chunk, sizeof(chunk));
            if (n <= 0) {
                return;
            }
            for (ssize_t i = 0; i < n; ++i) {
                receiveFree_ = std::max(now, receiveFree_) + byteTime;
                scanner_.Push(chunk[i], receiveFree_, events);
                Handle(events);
            }
        }
    }

    void Handle(std::vector<ScanEvent>& events) {
        for (auto& event : events) {
            switch (event.kind) {
                case ScanEvent::Kind::Garbage:
                    out_ << "garbage: " << protocol::FormatHexLine(event.bytes) << std::endl;
                    break;
                case ScanEvent::Kind::Dropped:
                    out_ << "dropped incomplete frame: " << protocol::FormatHexLine(event.bytes)
                         << std::endl;
                    break;
                case ScanEvent::Kind::Frame: {
                    std::optional<FaultDraw> fault;
                    if (options_.faultSeed) {
                        fault = DrawFault(*options_.faultSeed, options_.faultMix, frames_++);
                    }
                    out_ << DescribeFrame(event.bytes, event.status)
                         << (fault ? FaultNote(*fault) : "") << std::endl;
                    Answer(event, fault);
                    break;
                }
            }
        }
        events.clear();
    }

    void Answer(const ScanEvent& frame, const std::optional<FaultDraw>& fault) {
        if (options_.silent) {
            return;
        }
        termios t{};
        if (::tcgetattr(master_.get(), &t) == 0 && (t.c_lflag & ECHO) != 0) {
            // The other side echoes what it receives: the answer would come straight back as
            // a well-formed frame and be answered again, for ever.
            out_ << "not answering: the terminal echoes (not set to raw)" << std::endl;
            return;
        }
        const Bytes reply =
            fault ? NumberedReply(frame.command, fault->sequence)
                  : protocol::BuildReply(frame.command, frame.status, options_.replyLength);
        const auto byteTime = ByteTime();
        // The answer is timed from the frame's end on the wire, not from when this loop got
        // round to it, so a late wake-up does not add to the exchange.
        const TimePoint start = frame.at + std::chrono::milliseconds(options_.replyDelayMs);
        // A byte never overtakes one queued before it: the module has one transmitter.
        for (const ReplyByte& out : ApplyFault(reply, fault.value_or(FaultDraw{}))) {
            sendFree_ = std::max(start + out.after, sendFree_) + byteTime;
            outgoing_.push_back({out.byte, sendFree_});
        }
    }

    void SendDue(TimePoint now) {
        for (;;) {
            Bytes due;
            while (!outgoing_.empty() && outgoing_.front().at <= now) {
                due.push_back(outgoing_.front().byte);
                outgoing_.pop_front();
            }
            if (!due.empty()) {
                const ssize_t n = ::write(master_.get(), due.data(), due.size());
                if (n < static_cast<ssize_t>(due.size())) {
                    // A module's transmitter does not wait for the host: what the host has no
                    // room for is lost.
                    out_ << "reply bytes lost: the other side is not reading" << std::endl;
                }
            }
            if (outgoing_.empty() || outgoing_.front().at - Clock::now() > kFinalApproach) {
                return;
            }
            // The last stretch before a byte is due is waited out on the clock: a timed wait
            // in a Linux guest ends 30-40 us late, a third of a byte at 115200 baud.
            const TimePoint at = outgoing_.front().at;
            while ((now = Clock::now()) < at) {
            }
        }
    }

    // Someone closed the terminal side. If nobody holds its lock any more, a tool that died
    // while holding it may have left exclusive mode behind; clear it so the next one can open.
    void OnTerminalClosed() {
        char buffer[4096];
        while (::read(closes_.get(), buffer, sizeof(buffer)) > 0) {
        }
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
        if (::ioctl(slave_.get(), TIOCGEXCL, &exclusive) != 0 || exclusive == 0) {
            return;
        }
        if (::flock(slave_.get(), LOCK_EX | LOCK_NB) != 0) {
            if (--staleChecks_ > 0) {
                staleCheckAt_ = Clock::now() + kStaleCheckInterval;
            }
            return;
        }
        ::ioctl(slave_.get(), TIOCNXCL);
        ::flock(slave_.get(), LOCK_UN);
        out_ << "cleared exclusive mode left behind by a closed port" << std::endl;
    }

    const ModuleOptions& options_;
    std::ostream& out_;
    UniqueFd master_;
    UniqueFd slave_;
    UniqueFd closes_;
    std::string slavePath_;
    protocol::FrameScanner scanner_{protocol::Reading::Lenient};
    std::deque<TimedByte> outgoing_;
    std::optional<TimePoint> staleCheckAt_;
    int staleChecks_ = 0;
    TimePoint receiveFree_{};
    TimePoint sendFree_{};
    std::uint64_t frames_ = 0;  // frames drawn a fault for
};

}  // namespace

std::string DefaultLinkPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string(runtime) + "/glassbench-module";
    }
    return "/tmp/glassbench-module-" + std::to_string(::getuid());
}

int RunVirtualModule(const ModuleOptions& options, std::ostream& out, std::ostream& err) {
#if defined(__linux__)
    // Linux lets a timed wait run late by up to 50 us by default; the wire timing of one byte
    // at 115200 baud is 87 us, so ask for waits that end on time.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    const serial::StopRequest stop;
    const IgnoreBrokenPipe ignoreBrokenPipe;
    if (stop.PollFd() < 0) {
        err << "glassbench-cli module: cannot set up signal handling: " << SystemReason() << "\n";
        return 1;
    }
    Module module(options, out);
    std::string reason;
    if (!module.Open(reason)) {
        err << "glassbench-cli module: " << reason << "\n";
        return 1;
    }
    const std::string linkPath = options.linkPath.empty() ? DefaultLinkPath() : options.linkPath;
    PublishedLink link(linkPath, module.SlavePath());
    if (!link.Publish(reason)) {
        err << "glassbench-cli module: " << reason << "\n";
        return 1;
    }
    out << "module: " << linkPath << " -> " << module.SlavePath() << std::endl;
    module.Run(stop.PollFd());
    out << "module: stopped" << std::endl;
    return 0;
}

}  // namespace glassbench::module
