// What the virtual display module prints for each frame it reads.
//
// The module cuts its line with the protocol's scanner in the lenient reading
// (protocol/FrameScanner.h, protocol/FrameRules.h) and answers every frame with
// AA 04 CMD STATUS CHK. For each it prints one line: the fields as decode reads them, why the
// length was refused where it was, and the status of the answer.
#pragma once

#include <string>

#include "protocol/Clock.h"
#include "protocol/FrameRules.h"

namespace glassbench::module {

using protocol::Bytes;
using protocol::Clock;
using protocol::TimePoint;

// One line for the operator: the command's list text, X, Y, the style byte's fields, the data
// bytes, whether the checksum is good (protocol/FrameDecode.h reads them), and the status of
// the answer.
std::string DescribeFrame(const Bytes& frame, protocol::ReplyStatus status);

}  // namespace glassbench::module
