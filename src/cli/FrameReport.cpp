#include "cli/FrameReport.h"

#include "protocol/FrameDecode.h"
#include "protocol/HexText.h"

namespace glassbench::cli {

namespace {

using protocol::ScanEvent;

const char* KindName(ScanEvent::Kind kind) {
    switch (kind) {
        case ScanEvent::Kind::Frame:
            return "frame";
        case ScanEvent::Kind::Garbage:
            return "noise";
        case ScanEvent::Kind::Dropped:
            break;
    }
    return "incomplete";
}

protocol::DecodedFrame Decode(const protocol::Bytes& bytes) {
    return protocol::DecodeFrame(bytes.data(), static_cast<int>(bytes.size()));
}

std::string StyleJson(const protocol::StyleFields& style) {
    JsonObject object;
    object.String("byte", protocol::FormatHexByte(style.byte))
        .String("form", style.spiForm ? "spi" : "base")
        .Bool("transparent", style.transparent)
        .String("font_size", style.fontSize);
    if (style.spiForm) {
        object.Number("characters", style.characters);
    }
    return object.Text();
}

}  // namespace

std::string EventText(const ScanEvent& event) {
    if (event.kind != ScanEvent::Kind::Frame) {
        return std::string(KindName(event.kind)) + ": " + protocol::FormatHexLine(event.bytes);
    }
    return "frame " + protocol::FormatHexLine(event.bytes) + ": " + FrameText(event.bytes);
}

std::string FrameText(const protocol::Bytes& bytes) {
    const protocol::DecodedFrame frame = Decode(bytes);
    if (!frame.id) {
        // A header whose length leaves no room for a command.
        return frame.problems.front();
    }
    std::string line =
        frame.command != nullptr ? std::string(frame.command->listText) : "unknown command";
    line += " (" + protocol::FormatHexByte(*frame.id) + ") " + protocol::FieldsText(frame);
    if (frame.command == nullptr) {
        return line;
    }
    if (frame.lengthProblem.empty()) {
        return line + ", length " + std::to_string(frame.length) + " good";
    }
    return line + ", " + frame.lengthProblem;
}

JsonObject EventJson(const ScanEvent& event, const JsonObject& head) {
    JsonObject object;
    object.String("kind", KindName(event.kind))
        .Members(head)
        .String("hex", protocol::FormatHexLine(event.bytes));
    if (event.kind != ScanEvent::Kind::Frame) {
        return object;
    }
    const protocol::DecodedFrame frame = Decode(event.bytes);
    if (frame.command != nullptr) {
        object.String("command", frame.command->listText);
    } else {
        object.Null("command");
    }
    if (frame.id) {
        object.String("id", protocol::FormatHexByte(*frame.id));
    } else {
        object.Null("id");
    }
    if (frame.command != nullptr) {
        object.String("layout", protocol::LayoutName(frame.command->layout));
    } else {
        object.Null("layout");
    }
    if (frame.HasFields()) {
        object.Number("x", *frame.x).Number("y", *frame.y);
    }
    object.Raw("style", frame.style ? StyleJson(*frame.style) : "null");
    object.String("data", protocol::FormatHexLine(frame.data));
    if (frame.checksum) {
        object.String("checksum", protocol::FormatHexByte(*frame.checksum));
    } else {
        object.Null("checksum");
    }
    return object.Bool("checksum_ok", frame.checksumOk).Strings("problems", frame.problems);
}

}  // namespace glassbench::cli
