// "frame": the bytes the window would put on the wire for the given fields, and what its
// transcript and its Lengh and CheckSum fields would show.
#include <ostream>

#include "cli/Commands.h"
#include "protocol/HexText.h"

namespace glassbench::cli {

int RunFrame(const OptionValues& values, std::ostream& out, std::ostream&) {
    const protocol::CommandFields fields = FrameFields(values);
    protocol::CommandFrame frame{};
    protocol::DataStore store{};
    const auto built = protocol::BuildCommandFrame(fields, frame, store);
    out << "frame: " << protocol::FormatHexLine(frame.data(), built.frameLength) << "\n";
    const int shown = protocol::TranscriptBytes(frame, built.frameLength, fields.lcdsType);
    out << "transcript: " << protocol::FormatHexLine(frame.data(), shown) << "\n";
    out << "lengh: " << built.lenghText << "\n";
    out << "checksum: " << built.checkSumText << "\n";
    return kExitOk;
}

}  // namespace glassbench::cli
