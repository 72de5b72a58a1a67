// "decode": captured traffic read back into frames. The hex text (the arguments, or standard
// input with its lines joined by blanks) is read as the Data field reads it, without its
// 55-byte limit; the bytes go through the frame scanner the virtual module uses, in the strict
// reading, as if they had all arrived at one moment, and a final look at the clock one frame
// gap later reports a frame cut off at the end and noise that nothing followed. Each piece
// prints as monitor prints it (FrameReport.h), or with --script as a play script's line
// (ScriptRecorder.h), untimed: no pauses, and no replies to expect.
#include <iostream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/FrameReport.h"
#include "cli/ScriptRecorder.h"
#include "protocol/FrameScanner.h"
#include "protocol/HexText.h"

namespace glassbench::cli {

namespace {

std::string InputText(const std::vector<std::string>& positional, std::istream& in) {
    std::string text;
    if (!positional.empty()) {
        for (const auto& argument : positional) {
            text += (text.empty() ? "" : " ") + argument;
        }
        return text;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

int RunDecode(const OptionValues& values, std::ostream& out, std::ostream&) {
    const bool json = values.Has("json");
    const std::vector<std::uint8_t> bytes =
        protocol::ParseHexStream(InputText(values.operands, std::cin));

    protocol::FrameScanner scanner(protocol::Reading::Strict);
    std::vector<protocol::ScanEvent> events;
    const protocol::TimePoint at{};
    for (const std::uint8_t byte : bytes) {
        scanner.Push(byte, at, events);
    }
    scanner.Expire(at + protocol::kFrameGap, events);
    if (values.Has("script")) {
        ScriptRecorder script(out, false, std::nullopt);
        for (const auto& event : events) {
            script.Piece(event, at);
        }
        script.Finish();
        return kExitOk;
    }
    for (const auto& event : events) {
        out << (json ? EventJson(event).Text() : EventText(event)) << "\n";
    }
    return kExitOk;
}

}  // namespace glassbench::cli
