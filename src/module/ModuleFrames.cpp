#include "module/ModuleFrames.h"

#include <sstream>

#include "protocol/FrameDecode.h"
#include "protocol/HexText.h"

namespace glassbench::module {

std::string DescribeFrame(const Bytes& frame, protocol::ReplyStatus status) {
    std::ostringstream line;
    const int length = frame.size() >= 2 ? frame[1] : 0;
    if (!protocol::IsWholeFrame(frame.data(), static_cast<int>(frame.size()))) {
        line << "header " << protocol::FormatHexLine(frame) << ": length " << length
             << " holds no command";
        line << " -> status " << static_cast<int>(status);
        return line.str();
    }
    // The same reading of the fields as glassbench-cli decode and monitor give.
    const protocol::DecodedFrame decoded =
        protocol::DecodeFrame(frame.data(), static_cast<int>(frame.size()));
    if (decoded.command != nullptr) {
        line << decoded.command->listText;
    } else {
        line << "unknown command " << protocol::FormatHexByte(frame[2]);
    }
    line << " " << protocol::FieldsText(decoded);
    if (status == protocol::ReplyStatus::BadLength && decoded.command != nullptr) {
        const auto range = protocol::AcceptedLengths(*decoded.command, protocol::Reading::Lenient);
        line << " length " << length << " outside " << range.min << "-" << range.max;
    }
    line << " -> status " << static_cast<int>(status);
    return line.str();
}

}  // namespace glassbench::module
