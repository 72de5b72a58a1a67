#include "serial/PortWatch.h"

#include <algorithm>
#include <vector>

#include "net/Wakeup.h"

namespace glassbench::serial {

namespace {

class BackOff final : public PortWatch {
  public:
    BackOff(std::chrono::milliseconds first, std::chrono::milliseconds longest)
        : next_(first), longest_(longest) {}

    WaitResult Wait(TimePoint deadline, StopToken stop) override {
        const TimePoint until = std::min(deadline, Clock::now() + next_);
        next_ = std::min(next_ * 2, longest_);
        // A wait needs something to wait on: with no stop request, something never raised.
        std::vector<WaitToken> tokens{stop.value_or(never_.Token())};
        if (WaitForAny(tokens, until)) {
            return WaitResult::Stopped;
        }
        return Clock::now() >= deadline ? WaitResult::TimedOut : WaitResult::Ready;
    }

  private:
    std::chrono::milliseconds next_;
    std::chrono::milliseconds longest_;
    net::Wakeup never_;
};

}  // namespace

std::unique_ptr<PortWatch> BackOffWatch(std::chrono::milliseconds first,
                                        std::chrono::milliseconds longest) {
    return std::make_unique<BackOff>(first, longest);
}

}  // namespace glassbench::serial
