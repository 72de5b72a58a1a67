// The far end of a connection, scripted byte by byte and moment by moment, behind the same
// seam as a socket (net/ByteStream.h): what it sends and when, how much it takes and when, when
// it closes, and a stop request. Its clock moves only when the near end waits, straight to the
// next thing the script has planned (or to the wait's deadline), so a test of seconds of
// protocol runs in no time and the same way every time, on any machine.
//
// A script may answer what the near end sends: `onSent` sees every byte as it is taken and may
// plan more (Send with an offset from Now()). Its tokens mean nothing to WaitForAny.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "net/ByteStream.h"
#include "net/Errors.h"

namespace glassbench::testing {

class ScriptedStream final : public net::ByteStream {
  public:
    using Bytes = std::vector<std::uint8_t>;
    using Duration = std::chrono::nanoseconds;

    // The moment the script's offsets count from: Now() at the start.
    static constexpr net::TimePoint kStart = net::TimePoint{} + std::chrono::hours(1);

    // Bytes that arrive `at` after the start (or after Now(), from `onSent`).
    void Send(Duration at, Bytes bytes) { arrivals_.emplace(kStart + at, std::move(bytes)); }
    void SendNow(Bytes bytes, Duration after = Duration::zero()) {
        arrivals_.emplace(now_ + after, std::move(bytes));
    }
    // From `at` on, `unit` again and again without end, `perMillisecond` bytes a millisecond.
    void Endless(Duration at, Bytes unit, std::size_t perMillisecond = 1000) {
        endless_ = {kStart + at, std::move(unit)};
        endlessRate_ = perMillisecond;
        endlessAt_ = 0;
    }
    // The peer's end of file at `at`, after everything it sent before; or, with a reason such
    // as connection_reset, the connection's failure.
    void Close(Duration at, std::error_code reason = net::Error::ClosedByPeer) {
        close_ = kStart + at;
        closeReason_ = reason;
    }
    // How many more bytes the peer takes (unbounded until set), and more room later.
    void Room(std::size_t bytes) { room_ = bytes; }
    void RoomAt(Duration at, std::size_t bytes) { roomAt_.emplace(kStart + at, bytes); }
    // A stop request at `at`.
    void Stop(Duration at) { stop_ = kStart + at; }
    // How long a receive that hands over bytes takes on the clock: a peer that sends without
    // end then keeps the stream readable for ever while time goes on, as a socket does.
    void ReadCost(Duration cost) { readCost_ = cost; }

    std::function<void(std::span<const std::uint8_t>)> onSent;

    // `after` from Now(), as an offset from the start, for the calls above.
    Duration FromNow(Duration after = Duration::zero()) const { return now_ - kStart + after; }

    // Everything the near end has sent that the peer took, in order.
    const Bytes& Taken() const { return taken_; }
    // Bytes handed to the near end so far, its waits, and the most it was handed between two
    // of its waits: the work one call of the near end's did.
    std::uint64_t Delivered() const { return delivered_; }
    int Waits() const { return waits_; }
    std::uint64_t MostBetweenWaits() const { return mostBetweenWaits_; }

    net::IoResult Send(std::span<const std::uint8_t> bytes) override {
        Apply();
        if (closed_) {
            error_ = std::make_error_code(std::errc::broken_pipe);
            return {0, net::IoStatus::Gone};
        }
        const std::size_t n = std::min(bytes.size(), room_);
        if (n == 0) {
            return {0, net::IoStatus::WouldBlock};
        }
        room_ -= room_ == kUnbounded ? 0 : n;
        taken_.insert(taken_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        if (onSent) {
            onSent(bytes.first(n));
        }
        return {static_cast<int>(n), net::IoStatus::Done};
    }

    net::IoResult Receive(std::span<std::uint8_t> buffer) override {
        Apply();
        std::size_t n = 0;
        // The peer writes each thing whole: what it sends besides the endless units comes
        // between two of them, never inside one.
        const auto midUnit = [&] { return endless_ && endlessAt_ % endless_->second.size() != 0; };
        while (n < buffer.size()) {
            if (!ready_.empty() && !midUnit()) {
                buffer[n++] = ready_.front();
                ready_.pop_front();
            } else if (EndlessReady() > 0) {
                buffer[n++] = endless_->second[endlessAt_++ % endless_->second.size()];
            } else {
                break;
            }
        }
        delivered_ += n;
        now_ += n > 0 ? readCost_ : Duration::zero();
        sinceWait_ += n;
        mostBetweenWaits_ = std::max(mostBetweenWaits_, sinceWait_);
        if (n > 0) {
            return {static_cast<int>(n), net::IoStatus::Done};
        }
        if (closed_) {
            error_ = closeReason_;
            return {0, net::IoStatus::Gone};
        }
        return {0, net::IoStatus::WouldBlock};
    }

    using ByteStream::Wait;
    net::WaitResult Wait(bool input, bool output, net::TimePoint deadline) override {
        // A near end that waits without end on a stream that is always ready spins: it is
        // stopped here, loudly, rather than left to hang its test.
        if (++waits_ > kMostWaits) {
            std::fprintf(stderr, "ScriptedStream: more than %d waits: the near end spins\n",
                         kMostWaits);
            std::abort();
        }
        sinceWait_ = 0;
        for (;;) {
            Apply();
            if (stop_ && *stop_ <= now_) {
                return net::WaitResult::Stopped;
            }
            const bool readable =
                (!ready_.empty() && (!endless_ || endlessAt_ % endless_->second.size() == 0)) ||
                closed_ || EndlessReady() > 0;
            if ((input && readable) || (output && room_ > 0 && !closed_)) {
                return net::WaitResult::Ready;
            }
            // A wait for nothing (or for what will not come) lets the deadline come.
            const std::optional<net::TimePoint> next =
                input || output ? Next() : std::optional<net::TimePoint>();
            if (!next || *next > deadline) {
                now_ = std::max(now_, deadline);
                return net::WaitResult::TimedOut;
            }
            now_ = *next;
        }
    }

    net::WaitToken InputToken() override { return -1; }
    net::WaitToken OutputToken() override { return -1; }
    net::TimePoint Now() override { return now_; }
    std::error_code LastError() const override { return error_; }

  private:
    static constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();
    static constexpr int kMostWaits = 1'000'000;

    // What is due by now: arrivals, room, the close (after the arrivals before it).
    void Apply() {
        while (!arrivals_.empty() && arrivals_.begin()->first <= now_) {
            const Bytes& bytes = arrivals_.begin()->second;
            ready_.insert(ready_.end(), bytes.begin(), bytes.end());
            arrivals_.erase(arrivals_.begin());
        }
        while (!roomAt_.empty() && roomAt_.begin()->first <= now_) {
            room_ = room_ == kUnbounded ? roomAt_.begin()->second : room_ + roomAt_.begin()->second;
            roomAt_.erase(roomAt_.begin());
        }
        closed_ = close_ && *close_ <= now_ && ready_.empty();
    }

    // How many of the endless bytes have come and not been read: they flow from their start
    // until a close.
    std::uint64_t EndlessReady() const {
        if (!endless_ || endless_->first > now_ || (close_ && *close_ <= now_)) {
            return 0;
        }
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(now_ - endless_->first);
        const auto come = static_cast<std::uint64_t>(ns.count()) * endlessRate_ / 1'000'000;
        return come > endlessAt_ ? come - endlessAt_ : 0;
    }

    // The next moment something planned happens, if anything is.
    std::optional<net::TimePoint> Next() const {
        std::optional<net::TimePoint> next;
        const auto consider = [&](std::optional<net::TimePoint> at) {
            if (at && *at > now_ && (!next || *at < *next)) {
                next = at;
            }
        };
        consider(arrivals_.empty() ? std::nullopt : std::optional(arrivals_.begin()->first));
        consider(roomAt_.empty() ? std::nullopt : std::optional(roomAt_.begin()->first));
        consider(close_);
        consider(stop_);
        if (endless_ && EndlessReady() == 0) {
            // When the next endless byte has come.
            const auto ns = (endlessAt_ + 1) * 1'000'000 / endlessRate_ + 1;
            consider(endless_->first + std::chrono::nanoseconds(ns));
        }
        return next;
    }

    net::TimePoint now_ = kStart;
    std::multimap<net::TimePoint, Bytes> arrivals_;
    std::deque<std::uint8_t> ready_;
    std::optional<std::pair<net::TimePoint, Bytes>> endless_;
    std::uint64_t endlessAt_ = 0;  // endless bytes read
    std::size_t endlessRate_ = 1000;
    std::optional<net::TimePoint> close_;
    std::error_code closeReason_;
    bool closed_ = false;
    std::size_t room_ = kUnbounded;
    std::multimap<net::TimePoint, std::size_t> roomAt_;
    std::optional<net::TimePoint> stop_;
    Duration readCost_{};
    Bytes taken_;
    std::uint64_t delivered_ = 0;
    std::uint64_t sinceWait_ = 0;
    std::uint64_t mostBetweenWaits_ = 0;
    int waits_ = 0;
    std::error_code error_;
};

// The scripted stream as a stream of its own that a device may own and destroy (a port that is
// lost gives it back at once), while the test keeps the script and looks at it afterwards.
class ScriptedStreamView final : public net::ByteStream {
  public:
    explicit ScriptedStreamView(ScriptedStream& stream) : stream_(stream) {}
    net::IoResult Send(std::span<const std::uint8_t> bytes) override { return stream_.Send(bytes); }
    net::IoResult Receive(std::span<std::uint8_t> buffer) override {
        return stream_.Receive(buffer);
    }
    using ByteStream::Wait;
    net::WaitResult Wait(bool input, bool output, net::TimePoint deadline) override {
        return stream_.Wait(input, output, deadline);
    }
    net::WaitToken InputToken() override { return stream_.InputToken(); }
    net::WaitToken OutputToken() override { return stream_.OutputToken(); }
    net::TimePoint Now() override { return stream_.Now(); }
    std::error_code LastError() const override { return stream_.LastError(); }

  private:
    ScriptedStream& stream_;
};

}  // namespace glassbench::testing
