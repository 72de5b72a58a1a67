// Work that the system gives no time limit, run against one all the same: on a thread of its
// own, which is left to finish alone when the deadline passes or a stop request comes first.
// Its result then goes nowhere. Name look-ups (getaddrinfo) are the case: a resolver that does
// not answer would otherwise hold an open for as long as it likes.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "net/Io.h"
#include "net/Wakeup.h"

namespace glassbench::net {

// The result of `work`, or nullopt when it has not finished by `deadline` or by a stop request.
template <class Result>
std::optional<Result> RunWithDeadline(std::function<Result()> work, TimePoint deadline,
                                      StopToken stop) {
    struct Shared {
        std::mutex mutex;
        std::optional<Result> result;
        Wakeup done;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work)] {
        Result result = work();
        const std::lock_guard lock(shared->mutex);
        shared->result = std::move(result);
        shared->done.Raise();
    }).detach();
    std::vector<WaitToken> tokens{shared->done.Token()};
    if (stop) {
        tokens.push_back(*stop);
    }
    WaitForAny(tokens, deadline);
    const std::lock_guard lock(shared->mutex);
    return std::move(shared->result);
}

}  // namespace glassbench::net
