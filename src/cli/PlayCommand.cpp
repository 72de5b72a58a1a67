// "play": a script of exchanges (PlayScript.h) run against a module, each checked against the
// reply it must get. The script is read twice, a line at a time: first to check every line, so
// that a bad line stops it before the port is opened, then again as it plays; so a script of any
// length plays in the memory of its longest line. A script that cannot be read twice (a pipe,
// standard input through /dev/stdin) is held whole in memory for that, as it is read. Then the
// port opens as send opens it (the pulse unless --no-pulse), and each line runs send's printed
// exchange, its expectation, and its --wait-ms pause (unless --no-wait); --interval paces the
// lines as it paces send's repetitions. Both pauses end at once on a stop request, which ends
// the run after the exchange in progress.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "cli/Commands.h"
#include "cli/JUnitReport.h"
#include "cli/PlayScript.h"
#include "cli/PortSession.h"
#include "protocol/CommandFrame.h"
#include "protocol/HexText.h"

namespace glassbench::cli {

namespace {

constexpr int kExitFailed = 1;

// The script, ready to be read twice: the file itself where it is one, else what it gave, held.
struct ScriptSource {
    std::ifstream file;
    std::istringstream held;
    std::istream* in = nullptr;
};

bool OpenScript(const std::string& path, ScriptSource& source) {
    std::error_code error;
    // A folder opens, but reading it fails, which libstdc++'s file buffer throws.
    if (std::filesystem::is_directory(path, error)) {
        return false;
    }
    source.file.open(path, std::ios::binary);
    if (!source.file) {
        return false;
    }
    source.in = &source.file;
    if (!std::filesystem::is_regular_file(path, error)) {
        source.held.str(std::string(std::istreambuf_iterator<char>(source.file), {}));
        source.in = &source.held;
    }
    return !source.file.bad();
}

// Back to the script's start, for the second reading.
bool Rewind(std::istream& in) {
    in.clear();
    return static_cast<bool>(in.seekg(0));
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

struct Tally {
    int frames = 0;
    int replies = 0;
    int failed = 0;  // expectations
};

// One line's exchange, printed, with its expectation; its test case says how it went.
void RunStep(serial::SerialLink& link, const PlayStep& step, JUnitCase& report, Tally& tally,
             std::ostream& out) {
    protocol::CommandFrame frame{};
    const PrintedResult printed = PrintedExchange(link, step.frame, frame, out);
    const serial::ExchangeResult& result = printed.result;
    ++tally.frames;
    report.skipped = false;
    report.time = std::chrono::duration_cast<std::chrono::microseconds>(printed.took);
    if (!result.Sent()) {
        report.failure = "not sent: " + SendFailure(result.sendError);
    } else if (!result.replied) {
        report.failure = "no reply: " + std::to_string(result.received) + " of " +
                         std::to_string(protocol::kReplyLength) + " bytes";
    }
    tally.replies += result.replied ? 1 : 0;
    if (link.Lost()) {
        report.failure = "port lost: " + link.LostReason();
    }
    if (step.expect) {
        if (auto reason = CheckExpectation(*step.expect, frame, result, out)) {
            ++tally.failed;
            report.failure = report.failure.value_or("expectation failed: " + *reason);
        }
    }
}

}  // namespace

int RunPlay(const OptionValues& values, std::ostream& out, std::ostream& err) {
    const PortSettings port = ReadPortSettings(values);
    const std::string& path = values.operands.front();
    ScriptSource source;
    if (!OpenScript(path, source)) {
        err << "glassbench-cli: " << path << ": cannot be read\n";
        return kExitUsage;
    }
    PlayScriptReader check(*source.in);
    int steps = 0;
    while (check.Next()) {
        ++steps;
    }
    if (check.badLine() != 0) {
        err << "glassbench-cli: " << path << ":" << check.badLine() << ": " << check.error()
            << "\n";
        return kExitUsage;
    }
    if (source.in->bad() || !Rewind(*source.in)) {
        err << "glassbench-cli: " << path << ": cannot be read\n";
        return kExitUsage;
    }

    const serial::StopRequest stop;
    StreamMessageSink sink(err);
    const auto link = OpenSessionPort(port, sink, stop, err);
    if (!link) {
        return NoPortExit(stop, err);
    }
    const bool waits = !values.Has("no-wait");
    const std::string* junitFile = values.Find<std::string>("junit");
    std::optional<JUnitReport> junit;
    if (junitFile != nullptr) {
        junit.emplace(path, *junitFile);
    }
    PlayScriptReader script(*source.in);
    Tally tally;
    bool changed = false;
    // The port lost and not back: the lines after are not tried, skipped in the report.
    bool portGone = false;
    int untried = 0;
    // As many steps as were checked: a file that has grown since (a recording still being
    // written) plays as it was checked. One changed in place in the meantime ends the run at the
    // first line that no longer reads.
    for (int i = 0; i < steps; ++i) {
        const std::optional<PlayStep> step = script.Next();
        if (!step) {
            err << "glassbench-cli: " << path << ": changed while it played"
                << (script.badLine() != 0
                        ? ", line " + std::to_string(script.badLine()) + ": " + script.error()
                        : std::string(", shorter"))
                << "\n";
            changed = true;
            break;
        }
        JUnitCase report;
        report.name = path + ":" + std::to_string(step->line) + " " + CaseName(step->frame);
        report.skipped = true;
        if (!stop.Requested() && !portGone && (tally.frames == 0 || Pause(stop, port.interval))) {
            RunStep(*link, *step, report, tally, out);
            // The line the loss broke has failed; the next goes to the port back again.
            if (link->Lost() && !RecoverPort(*link, port, stop, err)) {
                portGone = true;
            } else if (waits && step->waitAfter.count() > 0) {
                Pause(stop, step->waitAfter);
            }
        }
        untried += report.skipped ? 1 : 0;
        if (junit) {
            junit->Add(report);
        }
    }
    out << "played: " << tally.frames << " frames, " << tally.replies << " replies, "
        << tally.failed << " expectations failed";
    if (untried > 0) {
        out << ", " << untried << " not tried";
    }
    out << std::endl;

    int status = tally.replies == steps && tally.failed == 0 ? kExitOk : kExitFailed;
    if (junit && !junit->Finish()) {
        err << "glassbench-cli: " << *junitFile << ": the JUnit report cannot be written\n";
        status = kExitFailed;
    }
    if (stop.Requested()) {
        err << "glassbench-cli: stopped by signal " << stop.Signal() << "\n";
        return stop.ExitCode();
    }
    return changed ? kExitUsage : status;
}

}  // namespace glassbench::cli
