// What "decode" and "monitor" print for each piece of a byte stream the frame scanner cuts off
// (protocol/FrameScanner.h): a frame with its decoded fields (protocol/FrameDecode.h), noise
// outside any frame, or a frame cut off before its end. One text line or one JSON object each.
//
//   frame AA 04 80 00 2E: Clear Screen (80) data=[00] checksum=2E good, length 4 good
//   noise: 01 02 0D
//   incomplete: AA 09 8A
#pragma once

#include <string>

#include "cli/Json.h"
#include "protocol/FrameScanner.h"

namespace glassbench::cli {

std::string EventText(const protocol::ScanEvent& event);

// What a frame's line says after "frame BYTES: ": "Clear Screen (80) data=[00] checksum=2E good,
// length 4 good".
std::string FrameText(const protocol::Bytes& bytes);

// {"kind":"frame"|"noise"|"incomplete", then `head`'s members, then "hex" and, for a frame,
// "command", "id", "layout", "x" and "y" where it has them, "style", "data", "checksum",
// "checksum_ok" and "problems"}.
JsonObject EventJson(const protocol::ScanEvent& event, const JsonObject& head = {});

}  // namespace glassbench::cli
