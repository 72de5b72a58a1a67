// The scripts "play" runs: one exchange a line, written as send's frame options.
//
//   # clear, then a red point
//   --command="Clear Screen" --data=00 --expect="AA 04 80 00 2E"
//   --command='Draw Point' --x=10 --y=20 --data="F8 00" --expect="AA 04 8A 00 ??" --wait-ms=50
//
// A line is split into words as a POSIX shell splits them, without any expansion: blanks and
// tabs separate words; single quotes keep everything up to the next one; double quotes keep
// everything up to the next unescaped one, a backslash in them escaping only $, `, " and \;
// outside quotes a backslash keeps the next character. A # that begins a word starts a comment.
// The words are then read as send reads its options, by the command table's row for a script
// line (CommandLine.h): the frame options or --raw=HEX, plus --expect=PATTERN (the five-byte
// reply it must get, "??" for any byte) and --wait-ms=N (a pause after the exchange). Every line
// is checked before anything is sent, so a script with one bad line sends nothing at all.
//
// The way back, for scripts written from captured frames: a frame's options are the plainest
// frame options that build it (protocol/FrameInverse.h), those the frame depends on and that
// differ from the window's start-up values, or --raw with its bytes where no options build it.
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CommandLine.h"
#include "protocol/HexText.h"

namespace glassbench::cli {

struct PlayStep {
    int line = 0;  // from 1
    OutgoingFrame frame;
    std::optional<protocol::BytePattern> expect;
    std::chrono::milliseconds waitAfter{0};
};

// The words of one line; nullopt, with the reason in `error`, for an unclosed quote or a
// backslash at the end.
std::optional<std::vector<std::string>> SplitShellWords(std::string_view line, std::string& error);

// A word as the splitting above reads it back: as it is where that is safe, else in double
// quotes.
std::string ShellWord(std::string_view text);

// The options of a script line that sends exactly these bytes.
std::string FrameOptionsText(const std::vector<std::uint8_t>& bytes);

// A script read a line at a time from a stream, holding one line: what play reads a script of
// any length with, once to check every line and once more to play it. Blank and comment lines
// are skipped; a line may end in CR LF, and a UTF-8 byte-order mark before the first line is
// ignored.
class PlayScriptReader {
  public:
    explicit PlayScriptReader(std::istream& in) : in_(in) {}

    // The next step; nullopt at the end of the script, and at a line that does not parse, whose
    // number and reason badLine() and error() then give.
    std::optional<PlayStep> Next();
    int badLine() const { return badLine_; }
    const std::string& error() const { return error_; }

  private:
    std::istream& in_;
    std::string line_;
    int number_ = 0;
    int badLine_ = 0;
    std::string error_;
};

}  // namespace glassbench::cli
