// The frame scanner with arbitrary bytes and arbitrary gaps between them, in either reading.
//
// The first byte's low bit picks the reading; the rest is read in pairs: the first byte's low seven
// bits are the gap in milliseconds since the step before (0-127, either side of the 100 ms frame
// gap); with its high bit set the step is a wake-up of the poll loop (Expire) and the second byte
// is unused, else the second byte arrives (Push). Every event must account for the next bytes fed,
// in order, and fit its kind; a frame is reported only with the checksum checked, and with the
// status the frame rules give it; the fields it is read back into, where any build it, build it
// again byte for byte.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "module/ModuleFrames.h"
#include "protocol/CommandTable.h"
#include "protocol/FrameInverse.h"
#include "protocol/FrameScanner.h"

using namespace glassbench::protocol;
using glassbench::module::DescribeFrame;

namespace {

struct Fed {
    std::uint8_t byte;
    TimePoint at;
};

// Checks the events one call produced at `now` against the bytes fed so far; `next` is the
// first byte no event has accounted for yet.
void CheckEvents(const std::vector<ScanEvent>& events, const std::vector<Fed>& fed,
                 std::size_t& next, TimePoint now, Reading reading) {
    for (const ScanEvent& event : events) {
        const Bytes& bytes = event.bytes;
        FUZZ_CHECK(!bytes.empty());
        FUZZ_CHECK(next + bytes.size() <= fed.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            FUZZ_CHECK(bytes[i] == fed[next + i].byte);
        }
        const TimePoint first = fed[next].at;
        const TimePoint last = fed[next + bytes.size() - 1].at;
        const bool stalled = now - last >= kFrameGap;
        const bool followedByStart =
            next + bytes.size() < fed.size() && fed[next + bytes.size()].byte == kStartByte;
        for (std::size_t i = 1; i < bytes.size(); ++i) {
            // No event runs across a stall: the stall would have ended it.
            FUZZ_CHECK(fed[next + i].at - fed[next + i - 1].at < kFrameGap);
        }
        FUZZ_CHECK(last >= first);
        switch (event.kind) {
            case ScanEvent::Kind::Garbage:
                for (const std::uint8_t byte : bytes) {
                    FUZZ_CHECK(byte != kStartByte);
                }
                // Reported when a frame starts or when nothing has followed for the gap.
                FUZZ_CHECK(followedByStart || stalled);
                break;
            case ScanEvent::Kind::Dropped:
                FUZZ_CHECK(bytes[0] == kStartByte);
                FUZZ_CHECK(bytes.size() == 1 || (bytes[1] >= 3 && bytes.size() < bytes[1] + 1u));
                FUZZ_CHECK(stalled);
                break;
            case ScanEvent::Kind::Frame: {
                FUZZ_CHECK(bytes[0] == kStartByte);
                FUZZ_CHECK(event.at == last && event.from == first);
                if (bytes.size() == 2) {
                    FUZZ_CHECK(bytes[1] < 3);
                    FUZZ_CHECK(event.status == ReplyStatus::BadLength && event.command == 0);
                    break;
                }
                const std::size_t length = bytes[1];
                FUZZ_CHECK(length >= 3 && bytes.size() == length + 1);
                FUZZ_CHECK(event.command == bytes[2]);
                unsigned sum = 0;
                for (std::size_t i = 0; i < length; ++i) {
                    sum += bytes[i];
                }
                const bool sumGood = (sum & 0xFF) == bytes[length];
                FUZZ_CHECK(sumGood == (event.status != ReplyStatus::BadChecksum));
                const auto* command = CommandById(bytes[2]);
                if (sumGood) {
                    FUZZ_CHECK((command == nullptr) ==
                               (event.status == ReplyStatus::UnknownCommand));
                }
                if (event.status == ReplyStatus::Good) {
                    const LengthRange range = AcceptedLengths(*command, reading);
                    FUZZ_CHECK(range.min <= static_cast<int>(length) &&
                               static_cast<int>(length) <= range.max);
                }
                // The strict reading never accepts what the lenient one refuses.
                const auto n = static_cast<int>(bytes.size());
                const FrameCheck strict = CheckFrame(bytes.data(), n, Reading::Strict);
                const FrameCheck lenient = CheckFrame(bytes.data(), n, Reading::Lenient);
                FUZZ_CHECK(lenient.status == ReplyStatus::Good || strict.status == lenient.status);
                FUZZ_CHECK(strict.problems.size() >= lenient.problems.size());
                FUZZ_CHECK(strict.problems.empty() == (strict.status == ReplyStatus::Good));
                const std::string line = DescribeFrame(bytes, event.status);
                const std::string tail =
                    "-> status " + std::to_string(static_cast<int>(event.status));
                FUZZ_CHECK(line.size() >= tail.size() &&
                           line.compare(line.size() - tail.size(), tail.size(), tail) == 0);
                const Bytes reply = BuildReply(event.command, event.status);
                FUZZ_CHECK(reply.size() == kReplyLength && reply[2] == event.command);
                // Fields that build a frame build that frame, and only a good one has them.
                if (const auto fields = FieldsForFrame(bytes.data(), n)) {
                    CommandFrame built{};
                    DataStore store{};
                    const int rebuilt = BuildCommandFrame(*fields, built, store).frameLength;
                    FUZZ_CHECK(rebuilt == n &&
                               std::equal(bytes.begin(), bytes.end(), built.begin()));
                    FUZZ_CHECK(sumGood && command != nullptr);
                }
                break;
            }
        }
        next += bytes.size();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const Reading reading = (data[0] & 1) != 0 ? Reading::Strict : Reading::Lenient;
    ++data;
    --size;
    FrameScanner scanner(reading);
    std::vector<Fed> fed;
    std::vector<ScanEvent> events;
    std::size_t next = 0;
    TimePoint now = TimePoint{} + std::chrono::hours(1);
    const auto step = [&](auto call) {
        events.clear();
        call();
        CheckEvents(events, fed, next, now, reading);
        // Whatever is not yet reported is waiting, and the scanner says when it will be.
        const std::optional<TimePoint> expiry = scanner.NextExpiry();
        FUZZ_CHECK(expiry.has_value() == (next < fed.size()));
        FUZZ_CHECK(!expiry || *expiry == fed.back().at + kFrameGap);
    };
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        now += std::chrono::milliseconds(data[i] & 0x7F);
        if ((data[i] & 0x80) != 0) {
            const std::optional<TimePoint> expiry = scanner.NextExpiry();
            const std::size_t before = next;
            step([&] { scanner.Expire(now, events); });
            // A wake-up before the expiry reports nothing; one at or after it reports all.
            FUZZ_CHECK((expiry && now >= *expiry) ? next == fed.size() : next == before);
        } else {
            fed.push_back({data[i + 1], now});
            step([&] { scanner.Push(data[i + 1], now, events); });
        }
    }
    now += std::chrono::hours(1);
    step([&] { scanner.Expire(now, events); });
    FUZZ_CHECK(next == fed.size());
    return 0;
}
