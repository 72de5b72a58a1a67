#include "cli/ScriptRecorder.h"

#include <algorithm>
#include <ostream>

#include "cli/CommandLine.h"
#include "cli/FrameReport.h"
#include "cli/PlayScript.h"
#include "cli/Seconds.h"
#include "protocol/HexText.h"

namespace glassbench::cli {

using protocol::ScanEvent;
using protocol::TimePoint;

ScriptRecorder::ScriptRecorder(std::ostream& out, bool repliesWatched,
                               std::optional<TimePoint> start)
    : out_(out), repliesWatched_(repliesWatched), start_(start) {}

std::string ScriptRecorder::TimeText(TimePoint at) const {
    return start_ ? SecondsText(at - *start_) + " " : std::string();
}

void ScriptRecorder::Add(std::string comment, std::optional<ScanEvent> frame) {
    Entry& entry = open_.emplace_back();
    entry.comment = std::move(comment);
    entry.frame = std::move(frame);
    // Comments ahead of every open frame have nothing left to wait for. A frame's line waits
    // only for what can still change it: its reply, where replies are watched, and the next
    // frame's start, for the pause of a timed recording; decode's lines wait for nothing.
    const bool framesWait = repliesWatched_ || start_.has_value();
    const auto firstFrame = std::find_if(open_.begin(), open_.end(),
                                         [&](const Entry& e) { return framesWait && e.frame; });
    WriteUpTo(static_cast<std::size_t>(firstFrame - open_.begin()));
}

void ScriptRecorder::Comment(const std::string& text) {
    Add(text);
}

void ScriptRecorder::Piece(const ScanEvent& event, TimePoint at) {
    if (event.kind == ScanEvent::Kind::Frame) {
        Add({}, event);
    } else {
        Add(TimeText(at) + EventText(event));
    }
}

void ScriptRecorder::Reply(const protocol::Bytes& reply, TimePoint at) {
    Entry* target = nullptr;
    for (Entry& entry : open_) {
        if (!entry.frame || entry.reply) {
            continue;
        }
        if (target == nullptr) {
            target = &entry;
        }
        const protocol::Bytes& frame = entry.frame->bytes;
        if (frame.size() > 2 && reply.size() > 2 && frame[2] == reply[2]) {
            target = &entry;
            break;
        }
    }
    if (target == nullptr) {
        Add(TimeText(at) + "reply " + protocol::FormatHexLine(reply) + " follows no frame");
        return;
    }
    target->reply = reply;
    target->replyAt = at;
}

void ScriptRecorder::IncompleteReply(const protocol::Bytes& bytes, TimePoint at) {
    Add(TimeText(at) + "incomplete reply " + protocol::FormatHexLine(bytes));
}

void ScriptRecorder::Settle() {
    const auto newest =
        std::find_if(open_.rbegin(), open_.rend(), [](const Entry& e) { return e.frame; });
    WriteUpTo(newest == open_.rend() ? open_.size()
                                     : static_cast<std::size_t>(open_.rend() - newest - 1));
}

void ScriptRecorder::Finish() {
    WriteUpTo(open_.size());
}

bool ScriptRecorder::Failed() const {
    return out_.fail();
}

void ScriptRecorder::WriteUpTo(std::size_t end) {
    for (std::size_t i = 0; i < end; ++i) {
        const auto next = std::find_if(open_.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                       open_.end(), [](const Entry& e) { return e.frame; });
        Write(open_[i], next == open_.end() ? nullptr : &*next);
    }
    open_.erase(open_.begin(), open_.begin() + static_cast<std::ptrdiff_t>(end));
}

void ScriptRecorder::Write(const Entry& entry, const Entry* nextFrame) {
    if (!entry.frame) {
        out_ << "# " << entry.comment << std::endl;
        return;
    }
    const ScanEvent& frame = *entry.frame;
    std::string line = FrameOptionsText(frame.bytes);
    std::string note = TimeText(frame.at) + FrameText(frame.bytes);
    if (entry.reply) {
        line += " --expect=" + ShellWord(protocol::FormatHexLine(*entry.reply));
    } else if (repliesWatched_) {
        note += "; no reply";
    }
    if (start_ && nextFrame != nullptr) {
        const auto pause = std::chrono::duration_cast<std::chrono::milliseconds>(
            nextFrame->frame->from - (entry.reply ? entry.replyAt : frame.at));
        if (pause >= kShortestRecordedPause) {
            // A script holds no longer pause than play takes.
            line += " --wait-ms=" + std::to_string(std::min<long long>(pause.count(), kMaxPauseMs));
        }
    }
    out_ << line << "  # " << note << std::endl;
}

}  // namespace glassbench::cli
