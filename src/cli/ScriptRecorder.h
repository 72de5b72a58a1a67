// A play script written from watched traffic: what monitor --record and decode --script write.
//
// Each frame becomes one line, its frame options where some build it and else --raw with its
// bytes (FrameOptionsText, PlayScript.h), then a comment with its decode, after its time when the
// recording is timed. Where replies are watched, the reply that followed the frame becomes
// --expect, and a frame that got none says so in its comment; on a timed recording the pause
// from the end of that reply (or of the frame) to the start of the next frame becomes --wait-ms
// when it lasts 10 ms or more. Everything else (noise, frames cut off, replies that follow no
// frame or come cut off) is kept as a comment in its place and never replayed.
//
// So a frame's line waits for the next frame, or for the end; an untimed recording without
// replies (decode's) writes each line at once, since nothing can change it. And a reply and the
// next frame that one wake-up of the monitor reads reach the recorder in either order: frames
// stay open until Settle(), which the monitor calls once no reply is half read, and a reply goes
// to the oldest open frame without one, preferring one whose command code it carries. Every
// line is flushed as it is written, so a recording ended by a signal or a pulled adapter keeps
// all that was settled.
#pragma once

#include <deque>
#include <iosfwd>
#include <optional>
#include <string>

#include "protocol/Clock.h"
#include "protocol/FrameScanner.h"

namespace glassbench::cli {

// A pause shorter than this between frames is not worth a --wait-ms.
inline constexpr std::chrono::milliseconds kShortestRecordedPause{10};

class ScriptRecorder {
  public:
    // `start`: the moment times count from; without one (decode), no times and no pauses.
    ScriptRecorder(std::ostream& out, bool repliesWatched,
                   std::optional<protocol::TimePoint> start);

    // A line of comment, in its place among the frames: "# TEXT".
    void Comment(const std::string& text);
    // A frame, noise or a frame cut off, as the scanner reports it at `at`.
    void Piece(const protocol::ScanEvent& event, protocol::TimePoint at);
    // A reply of five bytes whose last byte came at `at`.
    void Reply(const protocol::Bytes& reply, protocol::TimePoint at);
    // Reply bytes that nothing completed.
    void IncompleteReply(const protocol::Bytes& bytes, protocol::TimePoint at);
    // Writes every line but the newest frame's and what came after it.
    void Settle();
    // Writes everything.
    void Finish();
    // Whether a line could not be written.
    bool Failed() const;

  private:
    struct Entry {
        std::string comment;  // a comment line, when `frame` is empty
        std::optional<protocol::ScanEvent> frame;
        std::optional<protocol::Bytes> reply;
        protocol::TimePoint replyAt{};
    };

    std::string TimeText(protocol::TimePoint at) const;
    // Queues a comment, or a frame; writes what no open frame holds back any more.
    void Add(std::string comment, std::optional<protocol::ScanEvent> frame = std::nullopt);
    void Write(const Entry& entry, const Entry* nextFrame);
    void WriteUpTo(std::size_t end);

    std::ostream& out_;
    bool repliesWatched_;
    std::optional<protocol::TimePoint> start_;
    std::deque<Entry> open_;
};

}  // namespace glassbench::cli
