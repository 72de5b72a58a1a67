// decode's reading of captured traffic, fed its hex text in pieces as they come, so that each
// piece of the traffic prints as soon as nothing can change it and no more than a frame is held,
// whatever the capture's size.
//
// The text is read pair by pair as the Data field reads it (HexStreamParser, protocol/HexText.h,
// which holds back only the half of a pair cut between two pieces); on standard input the line
// ends count as blanks. The bytes go through the frame scanner in the strict reading, all as if
// they had arrived at one moment, so nothing stalls: a frame prints when its last byte comes,
// noise when the next start byte comes, and at the end of the text (Finish) a frame still open
// is reported cut off and noise that nothing followed prints. Each piece prints as monitor prints
// it (FrameReport.h), a text line or a JSON object, or as a play script's line (ScriptRecorder.h,
// untimed: no pauses and no replies to expect). A run of noise is not held whole: once more than
// `noisePart` bytes of it are held, its line is begun, and the rest of its hex follows in parts,
// so the line comes out as it would whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ScriptRecorder.h"
#include "protocol/FrameScanner.h"
#include "protocol/HexText.h"

namespace glassbench::cli {

class StreamDecoder {
  public:
    enum class Form { Text, Json, Script };

    // Noise held at most before its line is begun.
    static constexpr std::size_t kNoisePart = 4096;

    // `lineEndsAreBlanks`: CR and LF read as blanks (standard input, where they end lines)
    // rather than as characters of a pair (the arguments).
    StreamDecoder(std::ostream& out, Form form, bool lineEndsAreBlanks,
                  std::size_t noisePart = kNoisePart);

    // The next piece of the text. Returns false once the text has ended at a NUL, as a C string
    // ends: nothing after it is read, and Finish prints what remains.
    bool Take(std::string_view piece);
    // The end of the text.
    void Finish();

  private:
    // A noise line cut where its bytes' hex goes.
    struct NoiseLine {
        std::string head;
        std::string tail;
    };

    static void Write(std::ostream& out, Form form, ScriptRecorder* script,
                      const protocol::ScanEvent& event);
    static NoiseLine NoiseLineOf(Form form);
    void TakeSlice(std::string_view slice);
    void Scan();
    void Print(const protocol::ScanEvent& event);

    std::ostream& out_;
    Form form_;
    bool lineEndsAreBlanks_;
    std::size_t noisePart_;
    std::optional<ScriptRecorder> script_;
    NoiseLine noiseLine_;
    bool noiseBegun_ = false;  // a noise line's head and some of its hex are out
    bool ended_ = false;       // at a NUL
    protocol::HexStreamParser hex_;
    protocol::FrameScanner scanner_{protocol::Reading::Strict};
    std::string text_;                 // a slice of the text, its line ends made blanks
    std::vector<std::uint8_t> bytes_;  // the bytes of that slice
    std::vector<protocol::ScanEvent> events_;
};

}  // namespace glassbench::cli
