// Any operator input must give a well-formed frame: the Data text through the hex parser and
// every field combination through the frame builder, with the frame's own invariants checked,
// and the frame rules must read it as the frame it is: never a bad checksum, never an unknown
// command for a command of the list, good for the module whenever it carries the data bytes
// the command takes, and decoded back into the fields it was built from, and into fields that
// build it again.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameDecode.h"
#include "protocol/FrameInverse.h"
#include "protocol/FrameRules.h"
#include "protocol/HexText.h"

using namespace glassbench::protocol;

namespace {

// Splits off the text up to the next 0x00 separator.
std::string Take(std::string_view& input) {
    const auto end = input.find('\0');
    std::string part(input.substr(0, end));
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    std::string_view input(reinterpret_cast<const char*>(data), size);
    CommandFields fields;
    fields.commandIndex = static_cast<std::int8_t>(input[0]);
    fields.transparentIndex = static_cast<std::int8_t>(input[1]);
    fields.fontSizeIndex = static_cast<std::int8_t>(input[2]);
    fields.lcdsType = LcdsTypeFromIndex(static_cast<std::int8_t>(input[3]));
    input.remove_prefix(4);
    fields.xText = Take(input);
    fields.yText = Take(input);
    fields.dataText = std::string(input);

    CommandFrame frame;
    frame.fill(0xEE);
    DataStore store;
    store.fill(0x77);
    const BuildResult result = BuildCommandFrame(fields, frame, store);
    const int length = result.frameLength - 1;
    FUZZ_CHECK(result.count >= 0 && result.count <= kMaxDataBytes);
    FUZZ_CHECK(result.frameLength >= 4 && result.frameLength <= 64);
    FUZZ_CHECK(frame[0] == kStartByte && frame[1] == length);
    FUZZ_CHECK(frame[static_cast<std::size_t>(length)] == FrameChecksum(frame.data(), length));
    FUZZ_CHECK(result.checkSumText == LowerHex(result.checksum));
    for (std::size_t i = static_cast<std::size_t>(result.count); i < store.size(); ++i) {
        FUZZ_CHECK(store[i] == 0x77);
    }
    // The reply area is never touched by a build.
    for (int i = kReplyOffset; i < kReplyOffset + kReplyLength; ++i) {
        FUZZ_CHECK(frame[static_cast<std::size_t>(i)] == 0xEE);
    }

    const std::string text = FormatHexBytes(frame.data(), result.frameLength);
    FUZZ_CHECK(text.size() == static_cast<std::size_t>(result.frameLength) * 3);
    std::uint8_t parsed[kMaxDataBytes];
    const int n = ParseHexBytes(text, parsed);
    FUZZ_CHECK(n == std::min(result.frameLength, kMaxDataBytes));
    for (int i = 0; i < n; ++i) {
        FUZZ_CHECK(parsed[i] == frame[static_cast<std::size_t>(i)]);
    }

    const FrameCheck lenient = CheckFrame(frame.data(), result.frameLength, Reading::Lenient);
    const FrameCheck strict = CheckFrame(frame.data(), result.frameLength, Reading::Strict);
    FUZZ_CHECK(lenient.status != ReplyStatus::BadChecksum);
    if (const CommandInfo* command = CommandAt(fields.commandIndex)) {
        FUZZ_CHECK(lenient.status != ReplyStatus::UnknownCommand);
        FUZZ_CHECK(result.count < command->dataBytes || lenient.status == ReplyStatus::Good);
        // Built from the data count the command takes, it is good in the strict reading too.
        const bool taken = command->dataBytes >= 0 ? result.count == command->dataBytes
                                                   : command->layout != FrameLayout::EditText;
        FUZZ_CHECK(!taken || strict.status == ReplyStatus::Good);
        // Read back, it is the frame it was built from: only its length can be off.
        const DecodedFrame decoded = DecodeFrame(frame.data(), result.frameLength);
        FUZZ_CHECK(decoded.command == command && decoded.checksumOk);
        FUZZ_CHECK(decoded.problems == strict.problems && strict.problems.size() <= 1);
        FUZZ_CHECK(decoded.HasFields() == (HeaderLength(command->layout) > 3));
        if (decoded.HasFields()) {
            FUZZ_CHECK(*decoded.x == ReadCoordinate(fields.xText));
            FUZZ_CHECK(*decoded.y == ReadCoordinate(fields.yText));
        }
        // And the fields it is read back into build it again, byte for byte.
        const auto inverse = FieldsForFrame(frame.data(), result.frameLength);
        FUZZ_CHECK(inverse.has_value());
        CommandFrame again{};
        DataStore againStore{};
        FUZZ_CHECK(BuildCommandFrame(*inverse, again, againStore).frameLength ==
                       result.frameLength &&
                   std::equal(again.begin(), again.begin() + result.frameLength, frame.begin()));
    }

    const int shown = TranscriptBytes(frame, result.frameLength, fields.lcdsType);
    FUZZ_CHECK(shown >= 0 && shown <= result.frameLength);
    return 0;
}
