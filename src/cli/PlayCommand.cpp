// "play": a script of exchanges (PlayScript.h) run against a module, each checked against the
// reply it must get. The whole script is read and checked first, so a bad line stops it
// before the port is opened. Then the port opens as send opens it (the pulse unless
// --no-pulse), and each line runs send's printed exchange, its expectation, and its --wait-ms
// pause (unless --no-wait); --interval paces the lines as it paces send's repetitions. Both
// pauses end at once on a stop request, which ends the run after the exchange in progress.
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/JUnitReport.h"
#include "cli/PlayScript.h"
#include "cli/PortSession.h"
#include "protocol/CommandFrame.h"
#include "protocol/HexText.h"

namespace glassbench::cli {

namespace {

constexpr int kExitFailed = 1;

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return text;
}

// The expectation's verdict line, and the failure's reason for the report; nullopt reason when
// it held.
std::optional<std::string> CheckExpectation(const protocol::BytePattern& expect,
                                            const protocol::CommandFrame& frame,
                                            const serial::ExchangeResult& result,
                                            std::ostream& out) {
    const std::uint8_t* reply = frame.data() + protocol::kReplyOffset;
    if (result.replied && protocol::MatchesBytePattern(expect, reply, protocol::kReplyLength)) {
        out << "expect: ok" << std::endl;
        return std::nullopt;
    }
    const std::string got = result.Sent() && result.received > 0
                                ? protocol::FormatHexLine(reply, result.received)
                                : std::string("nothing");
    const std::string reason = "wanted " + protocol::FormatBytePattern(expect) + ", got " + got;
    out << "expect: FAIL (" << reason << ")" << std::endl;
    return reason;
}

// What a line's test case is called after its number: the command, or for raw bytes "raw
// frame" and the command code they carry.
std::string CaseName(const OutgoingFrame& frame) {
    if (frame.raw.empty()) {
        return std::string(protocol::CommandAt(frame.fields.commandIndex)->listText);
    }
    return frame.raw.size() > 2 ? "raw frame (" + protocol::FormatHexByte(frame.raw[2]) + ")"
                                : "raw frame";
}

}  // namespace

int RunPlay(const OptionValues& values, std::ostream& out, std::ostream& err) {
    const PortSettings port = ReadPortSettings(values);
    const std::string& path = values.operands.front();
    const auto text = ReadWholeFile(path);
    if (!text) {
        err << "glassbench-cli: " << path << ": cannot be read\n";
        return kExitUsage;
    }
    const PlayScript script = ParsePlayScript(*text);
    if (script.badLine != 0) {
        err << "glassbench-cli: " << path << ":" << script.badLine << ": " << script.error << "\n";
        return kExitUsage;
    }

    const serial::StopRequest stop;
    StreamMessageSink sink(err);
    const auto link = OpenSessionPort(port, sink, stop, err);
    if (!link) {
        return NoPortExit(stop, err);
    }
    const bool waits = !values.Has("no-wait");
    std::vector<JUnitCase> cases;
    int frames = 0;
    int replies = 0;
    int failed = 0;
    for (const PlayStep& step : script.steps) {
        JUnitCase& report = cases.emplace_back();
        report.name = path + ":" + std::to_string(step.line) + " " + CaseName(step.frame);
        report.skipped = true;
        if (stop.Requested() || (frames > 0 && !Pause(stop, port.interval))) {
            continue;
        }
        protocol::CommandFrame frame{};
        const PrintedResult printed = PrintedExchange(*link, step.frame, frame, out);
        const serial::ExchangeResult& result = printed.result;
        ++frames;
        report.skipped = false;
        report.time = std::chrono::duration_cast<std::chrono::microseconds>(printed.took);
        if (!result.Sent()) {
            report.failure = "not sent: " + SendFailure(result.sendError);
        } else if (!result.replied) {
            report.failure = "no reply: " + std::to_string(result.received) + " of " +
                             std::to_string(protocol::kReplyLength) + " bytes";
        }
        replies += result.replied ? 1 : 0;
        if (step.expect) {
            if (auto reason = CheckExpectation(*step.expect, frame, result, out)) {
                ++failed;
                report.failure = report.failure.value_or("expectation failed: " + *reason);
            }
        }
        if (waits && step.waitAfter.count() > 0) {
            Pause(stop, step.waitAfter);
        }
    }
    out << "played: " << frames << " frames, " << replies << " replies, " << failed
        << " expectations failed" << std::endl;

    int status =
        replies == static_cast<int>(script.steps.size()) && failed == 0 ? kExitOk : kExitFailed;
    if (const auto* junit = values.Find<std::string>("junit")) {
        std::ofstream report(*junit, std::ios::binary | std::ios::trunc);
        report << JUnitXml(path, cases);
        if (!report.flush()) {
            err << "glassbench-cli: " << *junit << ": the JUnit report cannot be written\n";
            status = kExitFailed;
        }
    }
    if (stop.Requested()) {
        err << "glassbench-cli: stopped by signal " << stop.Signal() << "\n";
        return stop.ExitCode();
    }
    return status;
}

}  // namespace glassbench::cli
