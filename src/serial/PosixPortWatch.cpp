// A lost port's watch on Linux: inotify on /dev and on the folder of the port's name, and on
// the node itself once it is there but busy or not permitted.
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "net/PosixFd.h"
#include "serial/NetworkPort.h"
#include "serial/PortWatch.h"

namespace glassbench::serial {

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_ATTRIB | IN_MOVED_TO;
constexpr std::uint32_t kNodeEvents = IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_ATTRIB;

class InotifyWatch final : public PortWatch {
  public:
    InotifyWatch(net::UniqueFd fd, const std::string& name) : fd_(std::move(fd)) {
        ::inotify_add_watch(fd_.Get(), "/dev", kFolderEvents);
        const std::filesystem::path folder = std::filesystem::path(name).parent_path();
        if (!folder.empty() && folder != "/dev") {
            ::inotify_add_watch(fd_.Get(), folder.c_str(), kFolderEvents);
        }
    }

    WaitResult Wait(TimePoint deadline, StopToken stop) override {
        std::vector<WaitToken> tokens{fd_.Get()};
        if (stop) {
            tokens.push_back(*stop);
        }
        const auto ready = WaitForAny(tokens, std::min(deadline, Clock::now() + kLongestWatch));
        if (ready && *ready == 1) {
            return WaitResult::Stopped;
        }
        // What happened matters not, only that something did: the events are read and dropped.
        alignas(inotify_event) char events[4096];
        while (::read(fd_.Get(), events, sizeof(events)) > 0) {
        }
        return Clock::now() >= deadline ? WaitResult::TimedOut : WaitResult::Ready;
    }

    void WatchNode(const std::string& path) override {
        ::inotify_add_watch(fd_.Get(), path.c_str(), kNodeEvents);
    }

  private:
    net::UniqueFd fd_;
};

}  // namespace

std::unique_ptr<PortWatch> WatchPort(const std::string& name) {
    if (!IsNetworkPortName(name)) {
        if (net::UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)); fd) {
            return std::make_unique<InotifyWatch>(std::move(fd), name);
        }
    }
    // A server is asked again after a back-off; so is a device where inotify cannot be had.
    return BackOffWatch(100ms, 2s);
}

}  // namespace glassbench::serial
