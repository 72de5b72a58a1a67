// "frame": the bytes the window would put on the wire for the given fields, and what its
// transcript and its Lengh and CheckSum fields would show.
#include <algorithm>
#include <ostream>
#include <vector>

#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FrameOptions.h"
#include "protocol/HexText.h"

namespace glassbench::cli {

int RunFrame(Args args, std::ostream& out, std::ostream& err) {
    int exitCode = kExitOk;
    const auto parsed = ParseCommand("frame", args, kFrameOptionSpecs, 0, out, err, exitCode);
    if (!parsed) {
        return exitCode;
    }
    std::string error;
    const auto fields = ReadFrameOptions(*parsed, error);
    if (!fields) {
        return UsageError(err, error);
    }
    protocol::CommandFrame frame{};
    protocol::DataStore store{};
    const auto built = protocol::BuildCommandFrame(*fields, frame, store);
    out << "frame: " << protocol::FormatHexLine(frame.data(), built.frameLength) << "\n";
    const int shown = protocol::TranscriptBytes(frame, built.frameLength, fields->lcdsType);
    out << "transcript: " << protocol::FormatHexLine(frame.data(), shown) << "\n";
    out << "lengh: " << built.lenghText << "\n";
    out << "checksum: " << built.checkSumText << "\n";
    return kExitOk;
}

}  // namespace glassbench::cli
