// decode's reading of a text in pieces (cli/StreamDecoder.h) against the whole text read as
// decode has always read it: all of it parsed at once (ParseHexStream, with standard input's
// line ends made blanks), every byte pushed through the strict scanner at one moment, the end
// looked at one frame gap later, and each piece printed in the form. The text given whole, in
// the pieces the input's cuts make, and one character at a time must each print exactly that.
//
// The input: its first byte chooses the form (its value modulo 3), whether line ends are
// blanks (bit 2) and the size of the parts in which noise is taken (bits 3 to 7, plus 1, so that
// short runs are taken in parts too); its second byte, modulo 8, a number of cuts, each the two
// bytes after it (modulo the text's length plus 1); the rest is the text.
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "cli/FrameReport.h"
#include "cli/ScriptRecorder.h"
#include "cli/StreamDecoder.h"
#include "protocol/FrameScanner.h"
#include "protocol/HexText.h"

using namespace glassbench;
using Form = cli::StreamDecoder::Form;

namespace {

std::string WholeAtOnce(std::string text, Form form, bool lineEnds) {
    if (lineEnds) {
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    }
    protocol::FrameScanner scanner(protocol::Reading::Strict);
    std::vector<protocol::ScanEvent> events;
    const protocol::TimePoint at{};
    for (const std::uint8_t byte : protocol::ParseHexStream(text)) {
        scanner.Push(byte, at, events);
    }
    scanner.Expire(at + protocol::kFrameGap, events);
    std::ostringstream out;
    cli::ScriptRecorder script(out, false, std::nullopt);
    for (const auto& event : events) {
        if (form == Form::Script) {
            script.Piece(event, at);
        } else {
            out << (form == Form::Json ? cli::EventJson(event).Text() : cli::EventText(event))
                << "\n";
        }
    }
    script.Finish();
    return out.str();
}

std::string InPieces(const std::vector<std::string_view>& pieces, Form form, bool lineEnds,
                     std::size_t noisePart) {
    std::ostringstream out;
    cli::StreamDecoder decoder(out, form, lineEnds, noisePart);
    bool goesOn = true;
    for (const std::string_view piece : pieces) {
        const bool more = decoder.Take(piece);
        FUZZ_CHECK(goesOn || !more);  // a text that has ended stays ended
        goesOn = more;
    }
    decoder.Finish();
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const Form form = static_cast<Form>(data[0] % 3);
    const bool lineEnds = (data[0] & 0x04) != 0;
    const std::size_t noisePart = (data[0] >> 3) + 1u;
    const std::size_t cutCount = std::min<std::size_t>(data[1] % 8, (size - 2) / 2);
    const std::uint8_t* cutBytes = data + 2;
    const std::string_view text(reinterpret_cast<const char*>(cutBytes + 2 * cutCount),
                                size - 2 - 2 * cutCount);

    std::vector<std::size_t> cuts{0, text.size()};
    for (std::size_t i = 0; i < cutCount; ++i) {
        cuts.push_back((cutBytes[2 * i] << 8 | cutBytes[2 * i + 1]) % (text.size() + 1));
    }
    std::sort(cuts.begin(), cuts.end());
    std::vector<std::string_view> pieces;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        pieces.push_back(text.substr(cuts[i], cuts[i + 1] - cuts[i]));
    }
    std::vector<std::string_view> characters;
    for (std::size_t i = 0; i < text.size(); ++i) {
        characters.push_back(text.substr(i, 1));
    }

    const std::string expected = WholeAtOnce(std::string(text), form, lineEnds);
    FUZZ_CHECK(InPieces({text}, form, lineEnds, noisePart) == expected);
    FUZZ_CHECK(InPieces(pieces, form, lineEnds, noisePart) == expected);
    FUZZ_CHECK(InPieces(characters, form, lineEnds, noisePart) == expected);
    // The usual noise parts, larger than any run here: noise goes out whole.
    FUZZ_CHECK(InPieces(pieces, form, lineEnds, cli::StreamDecoder::kNoisePart) == expected);
    return 0;
}
