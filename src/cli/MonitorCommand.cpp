// "monitor": watches a line and never writes to it. The frames on --port (a tap on a
// microcontroller's TX line) go through the frame scanner in the strict reading and print as
// decode prints them, each with the moment it completed; the bytes on --replies (a tap on the
// module's TX line) are cut into five-byte replies, each shown after the frame it follows.
//
// Both lines are opened as LineTaps: exclusive, raw 8N1, modem lines untouched. The loop waits
// on both lines and the stop request in one wait (WaitForInput), until the next thing due (a
// frame's 100 ms stall, the end of --seconds), and takes whatever either line has queued as soon
// as one wakes it; bytes are stamped on the monotonic clock when they are read, so a byte on
// either line is stamped within the wake-up's own latency. Pending bytes on the replies line
// that nothing follows for 100 ms are reported as an incomplete reply, so one lost byte does
// not shift every later reply.
//
// A line that is lost (the adapter pulled, the pseudo-terminal's other end gone) is given back
// at once and waited for until it comes back (PortSession.h's WaitForPort, PortTarget.h: the
// same port, never another), unless --no-reconnect, which ends the run there; each loss and
// return is told on stderr, or as an object of its own with --json.
//
// --record writes what is seen as a play script (ScriptRecorder.h). Its file is opened before
// either line, so a path that cannot be written stops the run before a port is touched; the
// recorder is settled after every wake-up in which no reply is half read.
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/Commands.h"
#include "cli/FrameReport.h"
#include "cli/Json.h"
#include "cli/PortSession.h"
#include "cli/ScriptRecorder.h"
#include "cli/Seconds.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameDecode.h"
#include "protocol/FrameScanner.h"
#include "protocol/HexText.h"
#include "serial/LineTap.h"
#include "serial/PortTarget.h"
#include "serial/StopRequest.h"

namespace glassbench::cli {

namespace {

using serial::Clock;
using serial::TimePoint;
using namespace std::chrono_literals;

constexpr int kExitGone = 1;

struct MonitorSettings {
    std::string port;
    std::string replies;  // empty: no replies line
    int bitsPerSecond = 9600;
    bool json = false;
    std::optional<int> count;
    std::optional<int> seconds;
    std::string record;  // empty: no recording
    bool reconnect = true;
};

MonitorSettings ReadMonitorSettings(const OptionValues& values) {
    MonitorSettings settings;
    settings.port = *values.Find<std::string>("port");
    settings.replies = values.Get("replies", settings.replies);
    const int speed = values.Get("speed", serial::kDefaultSpeedIndex);
    settings.bitsPerSecond = serial::SpeedAt(speed)->bitsPerSecond;
    settings.json = values.Has("json");
    if (const int* count = values.Find<int>("count")) {
        settings.count = *count;
    }
    if (const int* seconds = values.Find<int>("seconds")) {
        settings.seconds = *seconds;
    }
    settings.record = values.Get("record", settings.record);
    settings.reconnect = !values.Has("no-reconnect");
    return settings;
}

// The wall-clock time a recording began, for its header: "2025-03-14 09:26:53 +0100".
std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    // std::localtime's shared result is safe here: nothing else in the process reads the zone.
    const std::tm* local = std::localtime(&now);
    char text[64];
    return local != nullptr && std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S %z", local) > 0
               ? text
               : "?";
}

class Monitor {
  public:
    // `record`: the recording's file, if any.
    Monitor(const MonitorSettings& settings, std::ostream& out, std::ostream& err,
            std::ostream* record)
        : settings_(settings), out_(out), err_(err), start_(Clock::now()) {
        if (record != nullptr) {
            recorder_.emplace(*record, !settings.replies.empty(), start_);
        }
    }

    bool RecordingFailed() const { return recorder_ && recorder_->Failed(); }

    // When the run ends by itself: --seconds after the start, or never.
    TimePoint End() const {
        return settings_.seconds ? start_ + std::chrono::seconds(*settings_.seconds)
                                 : TimePoint::max();
    }
    bool Ended(const serial::StopRequest& stop) const {
        return stop.Requested() || Done() || Clock::now() >= End();
    }

    // Watches until a stop request, --count frames or --seconds; returns the line that
    // vanished, if one did. Start comes before the first watch and Finish after the last.
    serial::LineTap* Watch(serial::LineTap& port, serial::LineTap* replies,
                           const serial::StopRequest& stop) {
        goneTap_ = nullptr;
        const TimePoint end = End();
        std::vector<serial::SerialDevice*> devices{&port.Device()};
        if (replies != nullptr) {
            devices.push_back(&replies->Device());
        }
        const serial::WaitToken stopToken = stop.Token();
        while (!stop.Requested() && !Done()) {
            const TimePoint now = Clock::now();
            Expire(now);
            if (now >= end || Done()) {
                break;
            }
            TimePoint deadline = end;
            for (const auto& due : {scanner_.NextExpiry(), ReplyExpiry()}) {
                deadline = due ? std::min(deadline, *due) : deadline;
            }
            const auto woken = serial::WaitForInput(devices, deadline, {&stopToken, 1});
            // The frame line first: a reply's bytes come after those of the frame it answers.
            if (!Drain(port, true, woken == 0u) ||
                (replies != nullptr && !Drain(*replies, false, woken == 1u))) {
                break;
            }
            if (recorder_ && reply_.empty()) {
                recorder_->Settle();
            }
            if (RecordingFailed()) {
                break;
            }
        }
        return goneTap_;
    }

    // A line lost, and back: on stderr as send says it, or as JSON objects of their own.
    void Gone(const std::string& name, const std::string& reason, const std::string& awaited) {
        if (settings_.json) {
            out_ << JsonObject()
                        .String("kind", "port_gone")
                        .Raw("t", SecondsText(Clock::now() - start_))
                        .String("port", name)
                        .String("reason", reason)
                        .String("waiting_for", awaited)
                        .Text()
                 << std::endl;
            return;
        }
        err_ << "port " << name << " gone (" << reason << "); waiting for " << awaited << std::endl;
    }
    void Back(const std::string& name, const std::string& device, Clock::duration waited) {
        if (settings_.json) {
            out_ << JsonObject()
                        .String("kind", "port_back")
                        .Raw("t", SecondsText(Clock::now() - start_))
                        .String("port", name)
                        .String("device", device)
                        .Raw("after", SecondsText(waited))
                        .Text()
                 << std::endl;
            return;
        }
        err_ << "port back as " << device << " after " << WaitedText(waited) << std::endl;
    }

    void Start() {
        if (recorder_) {
            recorder_->Comment("Recorded by glassbench-cli monitor on " + LocalTimeText());
            recorder_->Comment("frames on " + settings_.port +
                               (settings_.replies.empty() ? ", no replies watched"
                                                          : ", replies on " + settings_.replies) +
                               ", at " + std::to_string(settings_.bitsPerSecond) + " baud");
            recorder_->Comment("Replay: glassbench-cli play " + settings_.record +
                               " --port=DEVICE [--no-wait]");
        }
        if (settings_.json) {
            JsonObject start;
            start.String("kind", "start")
                .Raw("t", SecondsText(Clock::duration{}))
                .String("port", settings_.port);
            if (settings_.replies.empty()) {
                start.Null("replies");
            } else {
                start.String("replies", settings_.replies);
            }
            out_ << start.Number("speed", settings_.bitsPerSecond).Text() << std::endl;
            return;
        }
        out_ << "monitor: listening on " << settings_.port;
        if (!settings_.replies.empty()) {
            out_ << ", replies on " << settings_.replies;
        }
        out_ << " at " << settings_.bitsPerSecond << " baud" << std::endl;
    }

  private:
    bool Done() const { return settings_.count && frames_ >= *settings_.count; }

    // Takes everything queued on one line; false when it has vanished.
    bool Drain(serial::LineTap& tap, bool frames, bool woken) {
        std::uint8_t buffer[4096];
        while (!Done()) {
            const serial::IoResult got =
                tap.Take(buffer, static_cast<int>(sizeof(buffer)), std::exchange(woken, false));
            if (got.status == serial::IoStatus::Gone || got.status == serial::IoStatus::Failed) {
                goneTap_ = &tap;
                return false;
            }
            if (got.count == 0) {
                return true;
            }
            const TimePoint at = Clock::now();
            for (int i = 0; i < got.count && !Done(); ++i) {
                if (frames) {
                    scanner_.Push(buffer[i], at, events_);
                    Report(at);
                } else {
                    TakeReplyByte(buffer[i], at);
                }
            }
        }
        return true;
    }

    void Expire(TimePoint now) {
        scanner_.Expire(now, events_);
        Report(now);
        if (const auto due = ReplyExpiry(); due && now >= *due) {
            ReportIncompleteReply(now);
        }
    }

    void ReportIncompleteReply(TimePoint now) {
        Print(now, "incomplete_reply", "incomplete reply " + protocol::FormatHexLine(reply_),
              protocol::FormatHexLine(reply_));
        if (recorder_) {
            recorder_->IncompleteReply(reply_, now);
        }
        reply_.clear();
    }

    std::optional<TimePoint> ReplyExpiry() const {
        if (reply_.empty()) {
            return std::nullopt;
        }
        return replyAt_ + protocol::kFrameGap;
    }

    void TakeReplyByte(std::uint8_t byte, TimePoint at) {
        reply_.push_back(byte);
        replyAt_ = at;
        if (static_cast<int>(reply_.size()) < protocol::kReplyLength) {
            return;
        }
        ++replies_;
        if (recorder_) {
            recorder_->Reply(reply_, at);
        }
        const std::string t = SecondsText(at - start_);
        if (settings_.json) {
            JsonObject follows;
            if (lastFrame_) {
                follows.Raw("t", lastFrame_->t).String("hex", lastFrame_->hex);
            }
            out_ << JsonObject()
                        .String("kind", "reply")
                        .Raw("t", t)
                        .String("hex", protocol::FormatHexLine(reply_))
                        .Raw("follows", lastFrame_ ? follows.Text() : "null")
                        .Text()
                 << std::endl;
        } else {
            out_ << t << " reply " << protocol::FormatHexLine(reply_)
                 << (lastFrame_ ? " after " + lastFrame_->label + " at " + lastFrame_->t
                                : std::string(" before any frame"))
                 << std::endl;
        }
        reply_.clear();
    }

    void Report(TimePoint at) {
        for (const auto& event : events_) {
            switch (event.kind) {
                case protocol::ScanEvent::Kind::Frame:
                    ++frames_;
                    badChecksums_ += event.status == protocol::ReplyStatus::BadChecksum;
                    RememberFrame(event, at);
                    break;
                case protocol::ScanEvent::Kind::Garbage:
                    noiseBytes_ += static_cast<int>(event.bytes.size());
                    break;
                case protocol::ScanEvent::Kind::Dropped:
                    ++incomplete_;
                    break;
            }
            if (recorder_) {
                recorder_->Piece(event, at);
            }
            const std::string t = SecondsText(at - start_);
            if (settings_.json) {
                out_ << EventJson(event, JsonObject().Raw("t", t)).Text() << std::endl;
            } else {
                out_ << t << " " << EventText(event) << std::endl;
            }
        }
        events_.clear();
    }

    void RememberFrame(const protocol::ScanEvent& event, TimePoint at) {
        const auto decoded =
            protocol::DecodeFrame(event.bytes.data(), static_cast<int>(event.bytes.size()));
        std::string label = "frame " + protocol::FormatHexLine(event.bytes);
        if (decoded.id) {
            label = (decoded.command != nullptr ? std::string(decoded.command->listText)
                                                : std::string("unknown command")) +
                    " (" + protocol::FormatHexByte(*decoded.id) + ")";
        }
        lastFrame_ =
            LastFrame{SecondsText(at - start_), protocol::FormatHexLine(event.bytes), label};
    }

    void Print(TimePoint at, const char* kind, const std::string& text, const std::string& hex) {
        const std::string t = SecondsText(at - start_);
        if (settings_.json) {
            out_ << JsonObject().String("kind", kind).Raw("t", t).String("hex", hex).Text()
                 << std::endl;
        } else {
            out_ << t << " " << text << std::endl;
        }
    }

  public:
    // What is still pending is reported as if the lines had fallen silent, then the figures.
    void Finish() {
        const TimePoint now = Clock::now();
        if (const auto due = scanner_.NextExpiry()) {
            scanner_.Expire(std::max(now, *due), events_);
            Report(now);
        }
        if (!reply_.empty()) {
            ReportIncompleteReply(now);
        }
        if (recorder_) {
            recorder_->Finish();
        }
        const std::string t = SecondsText(now - start_);
        if (settings_.json) {
            out_ << JsonObject()
                        .String("kind", "summary")
                        .Raw("t", t)
                        .Number("frames", frames_)
                        .Number("bad_checksums", badChecksums_)
                        .Number("noise_bytes", noiseBytes_)
                        .Number("incomplete", incomplete_)
                        .Number("replies", replies_)
                        .Text()
                 << std::endl;
        } else {
            out_ << "frames: " << frames_ << ", bad checksums: " << badChecksums_
                 << ", noise bytes: " << noiseBytes_ << ", incomplete: " << incomplete_
                 << ", replies: " << replies_ << ", seconds: " << t << std::endl;
        }
    }

  private:
    struct LastFrame {
        std::string t, hex, label;
    };

    const MonitorSettings& settings_;
    std::ostream& out_;
    std::ostream& err_;
    const TimePoint start_;
    protocol::FrameScanner scanner_{protocol::Reading::Strict};
    std::vector<protocol::ScanEvent> events_;
    protocol::Bytes reply_;
    TimePoint replyAt_{};
    std::optional<LastFrame> lastFrame_;
    std::optional<ScriptRecorder> recorder_;
    serial::LineTap* goneTap_ = nullptr;
    int frames_ = 0;
    int badChecksums_ = 0;
    int noiseBytes_ = 0;
    int incomplete_ = 0;
    int replies_ = 0;
};

}  // namespace

int RunMonitor(const OptionValues& values, std::ostream& out, std::ostream& err) {
    const MonitorSettings settings = ReadMonitorSettings(values);
    std::ofstream record;
    if (!settings.record.empty()) {
        errno = 0;
        record.open(settings.record, std::ios::binary | std::ios::trunc);
        if (!record) {
            err << "glassbench-cli: " << settings.record << ": cannot be written\n";
            if (errno != 0) {
                err << std::generic_category().message(errno) << ".\n";
            }
            return kExitUsage;
        }
    }
    const serial::StopRequest stop;
    const auto system = serial::CreatePlatformSerialSystem(stop.Token());
    std::unique_ptr<serial::LineTap> taps[2];
    const std::string* names[2] = {&settings.port, &settings.replies};
    for (int i = 0; i < 2 && !names[i]->empty(); ++i) {
        if (!NamesOnePort(*names[i], err)) {
            return kExitNoPort;
        }
    }
    for (int i = 0; i < 2 && !names[i]->empty(); ++i) {
        std::error_code reason;
        std::string detail;
        taps[i] = serial::LineTap::Open(*system, *names[i], settings.bitsPerSecond, reason, detail);
        if (!taps[i]) {
            if (!stop.Requested()) {
                PrintOpenFailure(*names[i], reason, detail, err);
            }
            return NoPortExit(stop, err);
        }
    }
    for (const auto& tap : taps) {
        for (const std::string& notice :
             tap ? tap->Device().TakeNotices() : std::vector<std::string>{}) {
            err << notice << "\n";
        }
    }
    // What each line is, to find it again after a loss.
    serial::PortTarget targets[2];
    for (int i = 0; i < 2 && taps[i]; ++i) {
        targets[i] = serial::PortTarget(*names[i]);
        targets[i].Opened(system->PresentPorts());
    }
    Monitor monitor(settings, out, err, record.is_open() ? &record : nullptr);
    monitor.Start();
    serial::LineTap* gone = nullptr;
    while ((gone = monitor.Watch(*taps[0], taps[1].get(), stop)) != nullptr) {
        const int i = gone == taps[0].get() ? 0 : 1;
        const std::string reason =
            serial::ReasonText(gone->LastError(), gone->Device().ErrorDetail());
        if (!settings.reconnect) {
            err << "glassbench-cli monitor: " << *names[i]
                << " has gone away (unplugged, or its other end closed): " << reason << "\n";
            break;
        }
        // Given back at once, so that an adapter can come back under its old name.
        taps[i].reset();
        monitor.Gone(*names[i], reason, targets[i].Describe());
        const auto lost = Clock::now();
        std::string device;
        const bool back = WaitForPort(
            *names[i],
            [&](serial::PortWatch& watch) {
                const auto now = targets[i].DeviceNow(system->PresentPorts());
                std::error_code error;
                std::string detail;
                taps[i] = now ? serial::LineTap::Open(*system, *now, settings.bitsPerSecond, error,
                                                      detail)
                              : nullptr;
                if (now) {
                    watch.OpenFailed(*now, error);
                }
                device = now.value_or("");
                return taps[i] != nullptr;
            },
            monitor.End(), stop);
        if (!back) {
            gone = nullptr;  // the run ended while the line was away: --seconds or Ctrl+C
            break;
        }
        monitor.Back(*names[i], device, Clock::now() - lost);
    }
    monitor.Finish();
    if (monitor.RecordingFailed()) {
        err << "glassbench-cli monitor: " << settings.record << ": the recording could not be "
            << "written to the end\n";
    }
    return gone != nullptr || monitor.RecordingFailed() ? kExitGone : kExitOk;
}

}  // namespace glassbench::cli
