#include "cli/StreamDecoder.h"

#include <algorithm>
#include <ostream>
#include <sstream>

#include "cli/FrameReport.h"

namespace glassbench::cli {

namespace {

using protocol::ScanEvent;

// Every byte arrives at this one moment, and the end one frame gap later: nothing stalls before.
constexpr protocol::TimePoint kAt{};

// The text is read in slices of at most this many characters, so that a piece of any length
// (an argument) holds no more than this.
constexpr std::size_t kSlice = 64 * 1024;

}  // namespace

StreamDecoder::StreamDecoder(std::ostream& out, Form form, bool lineEndsAreBlanks,
                             std::size_t noisePart)
    : out_(out),
      form_(form),
      lineEndsAreBlanks_(lineEndsAreBlanks),
      noisePart_(std::max<std::size_t>(noisePart, 1)),
      noiseLine_(NoiseLineOf(form)) {
    if (form == Form::Script) {
        script_.emplace(out, false, std::nullopt);
    }
}

void StreamDecoder::Write(std::ostream& out, Form form, ScriptRecorder* script,
                          const ScanEvent& event) {
    switch (form) {
        case Form::Text:
            out << EventText(event) << '\n';
            break;
        case Form::Json:
            out << EventJson(event).Text() << '\n';
            break;
        case Form::Script:
            script->Piece(event, kAt);
            break;
    }
}

// The form's line of a one-byte run, cut at the one place where that byte's hex shows: none of
// the forms writes two hex digits around the bytes of noise.
StreamDecoder::NoiseLine StreamDecoder::NoiseLineOf(Form form) {
    std::ostringstream line;
    std::optional<ScriptRecorder> script;
    if (form == Form::Script) {
        script.emplace(line, false, std::nullopt);
    }
    Write(line, form, script ? &*script : nullptr, {ScanEvent::Kind::Garbage, {0x00}});
    const std::string text = line.str();
    const auto at = text.find("00");
    return {text.substr(0, at), text.substr(at + 2)};
}

bool StreamDecoder::Take(std::string_view piece) {
    while (!ended_ && !piece.empty()) {
        const std::string_view slice = piece.substr(0, kSlice);
        piece.remove_prefix(slice.size());
        bytes_.clear();
        if (lineEndsAreBlanks_) {
            text_.assign(slice);
            std::replace_if(
                text_.begin(), text_.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
            ended_ = !hex_.Take(text_, bytes_);
        } else {
            ended_ = !hex_.Take(slice, bytes_);
        }
        Scan();
    }
    return !ended_;
}

void StreamDecoder::Finish() {
    bytes_.clear();
    hex_.Finish(bytes_);
    Scan();
    scanner_.Expire(kAt + protocol::kFrameGap, events_);
    for (const ScanEvent& event : events_) {
        Print(event);
    }
    events_.clear();
    if (script_) {
        script_->Finish();
    }
}

void StreamDecoder::Scan() {
    for (const std::uint8_t byte : bytes_) {
        scanner_.Push(byte, kAt, events_);
        for (const ScanEvent& event : events_) {
            Print(event);
        }
        events_.clear();
        // Written straight out: a script's recorder holds no line back here (decode's lines wait
        // for nothing, ScriptRecorder.h), so the part keeps its place among the lines.
        if (scanner_.GarbageHeld() > noisePart_) {
            const protocol::Bytes part = scanner_.TakeGarbageHead();
            out_ << (noiseBegun_ ? " " : noiseLine_.head) << protocol::FormatHexLine(part);
            noiseBegun_ = true;
        }
    }
}

void StreamDecoder::Print(const ScanEvent& event) {
    // The scanner ends a run of noise with an event of its own, whose bytes end the line begun.
    if (noiseBegun_ && event.kind == ScanEvent::Kind::Garbage) {
        out_ << ' ' << protocol::FormatHexLine(event.bytes) << noiseLine_.tail;
        noiseBegun_ = false;
        return;
    }
    Write(out_, form_, script_ ? &*script_ : nullptr, event);
}

}  // namespace glassbench::cli
