// Work that the system gives no time limit, run against one all the same: on a thread of its
// own, which is left to finish alone when the deadline passes first. Its result then goes
// nowhere. Name look-ups (getaddrinfo) are the case: a resolver that does not answer would
// otherwise hold an open for as long as it likes.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

// The result of `work`, or nullopt when it has not finished by `deadline`.
template <class Result>
std::optional<Result> RunWithDeadline(std::function<Result()> work, TimePoint deadline) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Result> result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work)] {
        Result result = work();
        const std::lock_guard lock(shared->mutex);
        shared->result = std::move(result);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    shared->done.wait_until(lock, deadline, [&] { return shared->result.has_value(); });
    return std::move(shared->result);
}

}  // namespace glassbench::serial
