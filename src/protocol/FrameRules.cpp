#include "protocol/FrameRules.h"

#include <algorithm>
#include <array>

#include "protocol/HexText.h"

namespace glassbench::protocol {

namespace {

struct DataCounts {
    int min;
    int max;
};

DataCounts AcceptedDataCounts(const CommandInfo& command, Reading reading) {
    if (command.dataBytes >= 0) {
        return {command.dataBytes, reading == Reading::Strict ? command.dataBytes : kMaxDataBytes};
    }
    if (command.layout == FrameLayout::EditText && reading == Reading::Strict) {
        return {kEditStyleIndex + 1, kMaxDataBytes};
    }
    return {0, kMaxDataBytes};
}

std::string DataBytesText(int count) {
    return std::to_string(count) + (count == 1 ? " data byte" : " data bytes");
}

// What a check sees of a frame: the bytes, and the command where the code names one.
struct Candidate {
    const std::uint8_t* bytes;
    int n;
    Reading reading;
    const CommandInfo* command;
};

std::string WholeProblem(const Candidate& c) {
    if (c.n < 2) {
        return "no length byte";
    }
    const int length = c.bytes[1];
    if (length < 3) {
        return "length " + std::to_string(length) + " holds no command";
    }
    if (c.n != length + 1) {
        return std::to_string(c.n) + " bytes where length " + std::to_string(length) + " makes " +
               std::to_string(length + 1);
    }
    return {};
}

std::string ChecksumProblem(const Candidate& c) {
    const int length = c.bytes[1];
    const std::uint8_t sum = FrameChecksum(c.bytes, length);
    if (sum == c.bytes[length]) {
        return {};
    }
    return "bad checksum (sum " + FormatHexByte(sum) + ")";
}

std::string CommandProblem(const Candidate& c) {
    return c.command != nullptr ? std::string() : "unknown command " + FormatHexByte(c.bytes[2]);
}

std::string LengthRule(const Candidate& c) {
    return LengthProblem(*c.command, c.bytes[1], c.reading);
}

struct Rule {
    ReplyStatus status;
    std::string (*problem)(const Candidate&);  // "" when the frame passes
    bool last;                                 // a failure leaves nothing more to check
};

constexpr std::array<Rule, 4> kRules{{
    {ReplyStatus::BadLength, WholeProblem, true},
    {ReplyStatus::BadChecksum, ChecksumProblem, false},
    {ReplyStatus::UnknownCommand, CommandProblem, true},
    {ReplyStatus::BadLength, LengthRule, false},
}};

}  // namespace

LengthRange AcceptedLengths(const CommandInfo& command, Reading reading) {
    const int header = HeaderLength(command.layout);
    const DataCounts counts = AcceptedDataCounts(command, reading);
    return {header + counts.min, header + counts.max};
}

std::string LengthProblem(const CommandInfo& command, int length, Reading reading) {
    const int header = HeaderLength(command.layout);
    if (length < header) {
        return "length " + std::to_string(length) + " is shorter than its " +
               std::to_string(header) + "-byte header";
    }
    const int count = length - header;
    const DataCounts counts = AcceptedDataCounts(command, reading);
    if (count > kMaxDataBytes) {
        return DataBytesText(count) + ", more than " + std::to_string(kMaxDataBytes);
    }
    if (count >= counts.min && count <= counts.max) {
        return {};
    }
    // Too few, or in the strict reading more than a fixed layout's own count.
    const char* taker = command.layout == FrameLayout::EditText ? "an edit text" : "the command";
    return DataBytesText(count) + " where " + taker + " takes " + std::to_string(counts.min) +
           (counts.max > counts.min ? " or more" : "");
}

bool IsWholeFrame(const std::uint8_t* bytes, int n) {
    return WholeProblem({bytes, n, Reading::Strict, nullptr}).empty();
}

FrameCheck CheckFrame(const std::uint8_t* bytes, int n, Reading reading) {
    const Candidate candidate{bytes, n, reading, n >= 3 ? CommandById(bytes[2]) : nullptr};
    FrameCheck check;
    for (const Rule& rule : kRules) {
        std::string problem = rule.problem(candidate);
        if (problem.empty()) {
            continue;
        }
        if (check.problems.empty()) {
            check.status = rule.status;
        }
        check.problems.push_back(std::move(problem));
        if (rule.last) {
            break;
        }
    }
    return check;
}

Bytes BuildReply(std::uint8_t command, ReplyStatus status, int length) {
    Bytes reply{kStartByte, 0x04, command, static_cast<std::uint8_t>(status), 0};
    reply[4] = FrameChecksum(reply.data(), 4);
    reply.resize(static_cast<std::size_t>(std::max(length, 0)), 0);
    return reply;
}

}  // namespace glassbench::protocol
