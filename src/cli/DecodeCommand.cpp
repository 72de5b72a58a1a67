// "decode": captured traffic read back into frames (StreamDecoder.h), from the arguments (joined
// by blanks) or else from standard input, read as it comes: every read's pieces are printed and
// flushed before the next read waits, so at the end of a live pipe each frame's line comes out
// as soon as its last byte has come, and a capture of any size goes through in the memory of a
// read buffer and a frame.
#include <ostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/StandardInput.h"
#include "cli/StreamDecoder.h"

namespace glassbench::cli {

namespace {

// Large enough that a file or a busy pipe goes through in few reads and writes.
constexpr std::size_t kReadSize = 64 * 1024;

}  // namespace

int RunDecode(const OptionValues& values, std::ostream& out, std::ostream&) {
    const auto form = values.Has("json")     ? StreamDecoder::Form::Json
                      : values.Has("script") ? StreamDecoder::Form::Script
                                             : StreamDecoder::Form::Text;
    const std::vector<std::string>& arguments = values.operands;
    StreamDecoder decoder(out, form, arguments.empty());
    if (!arguments.empty()) {
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            if (!decoder.Take(i == 0 ? "" : " ") || !decoder.Take(arguments[i])) {
                break;
            }
        }
        decoder.Finish();
        return kExitOk;
    }
    std::vector<char> buffer(kReadSize);
    bool reading = true;
    while (const std::size_t n = ReadStandardInput(buffer.data(), buffer.size())) {
        if (reading) {
            reading = decoder.Take({buffer.data(), n});
            if (!reading) {
                decoder.Finish();
            }
            out.flush();
        }
        // After a NUL the rest is read to its end and not decoded, as it always was: the
        // program that writes it is not cut off.
    }
    if (reading) {
        decoder.Finish();
    }
    return kExitOk;
}

}  // namespace glassbench::cli
