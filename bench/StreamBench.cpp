// What decode and play cost on big inputs: time and peak memory (the child's maximum resident
// set, from wait4) of the built glassbench-cli, or of another one named with --cli, and beside
// it, run for run in turn so that both meet the same load, of one named with --against (an
// older build, for before and after).
//
// decode: captures of hex text, one frame a line as a logic analyser's export has them (a mix
// of commands, now and then a bad checksum or a noise byte), made up to each size asked for;
// each is decoded as text, --json and --script, read from standard input with its output read
// from a pipe, and `xxd -r -p` reads the same text beside it. Printed: the median of the runs'
// times, MB/s of hex text (10^6 bytes), frames/s and the largest peak; with --against, the
// ratio of the medians.
//
// play: a script of the size asked for, written as monitor --record writes one (each frame's
// line with the reply the virtual module gives it as --expect, now and then a --wait-ms, the
// decode in a comment), played once by each build against the virtual module on a
// pseudo-terminal with --no-wait and --no-pulse. Printed: the time, the peak and the exit status
// (0: every reply as expected).
//
// Usage: stream_bench [--quick] [--cli=PATH] [--against=PATH] [--mb=10,100] [--play-mb=100]
//                     [--runs=3] [--keep=DIR]
//   --quick: 0.2 MB captures and a 0.1 MB script, one run each, for a smoke run.
//   --keep: the captures and the script are made in DIR and left there (to compare two builds'
//   output on them), rather than in a temporary folder.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "ModuleProcess.h"
#include "TempDir.h"
#include "cli/ScriptRecorder.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameRules.h"
#include "protocol/HexText.h"
#include "serial/Exchange.h"

namespace {

using namespace glassbench;
using Clock = std::chrono::steady_clock;

struct Measured {
    double seconds = 0;
    double peakMib = 0;
    int exitCode = -1;  // -1: ended by a signal or not started
    std::uint64_t outLines = 0;
};

// Runs `argv` with standard input from `input`, reading its standard output from a pipe to the
// end (counting lines); its standard error goes to `errPath`.
Measured Measure(const std::vector<std::string>& argv, const std::string& input,
                 const std::string& errPath) {
    Measured m;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return m;
    }
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(input.c_str(), O_RDONLY);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || err < 0 || ::dup2(in, STDIN_FILENO) < 0 ||
            ::dup2(out[1], STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) {
            ::_exit(127);
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    static char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            m.outLines += buffer[i] == '\n' ? 1 : 0;
        }
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.peakMib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux gives KiB
    m.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

// A small deterministic generator, so every run and every build decodes the same capture.
struct Lcg {
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    unsigned Next(unsigned bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>((state >> 33) % bound);
    }
};

// The frames of a capture, drawn in turn from what a display's firmware sends most (colours,
// points, lines, short texts): about 10 bytes a frame on average.
struct FrameKind {
    int command;
    const char* data;
    int fontSize = 0;
};
constexpr FrameKind kFrameMix[] = {
    {0, "00"},                  // Clear Screen
    {1, "F8 00"},               // Set Background Color
    {10, "07 E0"},              // Draw Point
    {11, "00 64 00 50 F8 1F"},  // Draw Line
    {6, "48 65 6C 6C 6F", 1},   // Ascii String Display
    {3, "0A"},                  // Set LCD Brightness
};

protocol::Bytes NextFrame(Lcg& random) {
    const FrameKind& kind = kFrameMix[random.Next(std::size(kFrameMix))];
    protocol::CommandFields fields;
    fields.commandIndex = kind.command;
    fields.dataText = kind.data;
    fields.fontSizeIndex = kind.fontSize;
    fields.xText = std::to_string(random.Next(320));
    fields.yText = std::to_string(random.Next(240));
    protocol::CommandFrame frame{};
    protocol::DataStore store{};
    const int n = protocol::BuildCommandFrame(fields, frame, store).frameLength;
    protocol::Bytes bytes(frame.begin(), frame.begin() + n);
    if (random.Next(1000) == 0) {
        bytes.back() ^= 0x01;  // a bad checksum now and then
    }
    return bytes;
}

// A capture of at least `bytes` bytes of hex text; returns its frame count.
std::uint64_t WriteCapture(const std::filesystem::path& path, std::uint64_t bytes) {
    std::ofstream out(path, std::ios::binary);
    Lcg random;
    std::uint64_t written = 0;
    std::uint64_t frames = 0;
    while (written < bytes) {
        std::string line;
        if (random.Next(1500) == 0) {
            line = "00 ";  // a noise byte
        }
        line += protocol::FormatHexLine(NextFrame(random)) + "\n";
        out << line;
        written += line.size();
        ++frames;
    }
    return frames;
}

// A script of at least `bytes` bytes as monitor --record writes one, each frame followed by the
// reply the virtual module gives it; returns its frame count.
std::uint64_t WriteRecording(const std::filesystem::path& path, std::uint64_t bytes) {
    std::ofstream out(path, std::ios::binary);
    const protocol::TimePoint start{};
    cli::ScriptRecorder recorder(out, true, start);
    recorder.Comment("Recorded by stream_bench");
    Lcg random;
    std::uint64_t frames = 0;
    auto at = start;
    while (static_cast<std::uint64_t>(out.tellp()) < bytes) {
        const protocol::Bytes frame = NextFrame(random);
        const auto from = at;
        at += std::chrono::microseconds(20 * frame.size());
        const auto status = protocol::CheckFrame(frame.data(), static_cast<int>(frame.size()),
                                                 protocol::Reading::Lenient)
                                .status;
        recorder.Piece({protocol::ScanEvent::Kind::Frame, frame, status, frame[2], at, from}, at);
        at += std::chrono::microseconds(150);
        recorder.Reply(protocol::BuildReply(frame[2], status), at);
        // A pause worth a --wait-ms now and then.
        at += random.Next(100) == 0 ? std::chrono::milliseconds(25) : std::chrono::microseconds(50);
        recorder.Settle();
        ++frames;
    }
    recorder.Finish();
    return frames;
}

double Median(std::vector<double> values) {
    return serial::Percentile(std::move(values), 50);
}

struct Options {
    bool quick = false;
    std::string cli = GLASSBENCH_CLI;
    std::string against;
    std::vector<double> mb{10, 100};
    double playMb = 100;
    int runs = 3;
    std::string keep;
};

bool ReadOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char* name) -> const char* {
            const std::string prefix = std::string(name) + "=";
            return arg.rfind(prefix, 0) == 0 ? argv[i] + prefix.size() : nullptr;
        };
        if (arg == "--quick") {
            o.quick = true;
            o.mb = {0.2};
            o.playMb = 0.1;
            o.runs = 1;
        } else if (const char* cli = value("--cli")) {
            o.cli = cli;
        } else if (const char* against = value("--against")) {
            o.against = against;
        } else if (const char* list = value("--mb")) {
            o.mb.clear();
            std::istringstream sizes(list);
            for (std::string size; std::getline(sizes, size, ',');) {
                o.mb.push_back(std::atof(size.c_str()));
            }
        } else if (const char* mb = value("--play-mb")) {
            o.playMb = std::atof(mb);
        } else if (const char* runs = value("--runs")) {
            o.runs = std::max(1, std::atoi(runs));
        } else if (const char* keep = value("--keep")) {
            o.keep = keep;
        } else {
            return false;
        }
    }
    return true;
}

struct Row {
    std::string label;
    std::vector<std::string> argv;
    std::vector<double> seconds;
    double peakMib = 0;
};

// Each row's program over one capture, `runs` times, the rows in turn; false when one failed.
bool DecodeRows(std::vector<Row> rows, const std::filesystem::path& capture, std::uint64_t frames,
                int runs, const std::filesystem::path& errPath) {
    for (int run = 0; run < runs; ++run) {
        for (Row& row : rows) {
            const Measured m = Measure(row.argv, capture.string(), errPath.string());
            if (m.exitCode != 0) {
                std::printf("  %-34s failed (exit %d)\n", row.label.c_str(), m.exitCode);
                return false;
            }
            row.seconds.push_back(m.seconds);
            row.peakMib = std::max(row.peakMib, m.peakMib);
        }
    }
    const double mb = static_cast<double>(std::filesystem::file_size(capture)) / 1e6;
    for (const Row& row : rows) {
        const double s = Median(row.seconds);
        std::printf("  %-34s %7.2f s  %7.1f MB/s  %10.0f frames/s  peak %7.1f MiB\n",
                    row.label.c_str(), s, mb / s, static_cast<double>(frames) / s, row.peakMib);
    }
    if (rows.size() == 2) {
        std::printf("  %-34s %7.2f x the time, %.2f x the peak\n",
                    "  this over against:", Median(rows[0].seconds) / Median(rows[1].seconds),
                    rows[0].peakMib / rows[1].peakMib);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ReadOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: stream_bench [--quick] [--cli=PATH] [--against=PATH] [--mb=10,100] "
                     "[--play-mb=100] [--runs=3] [--keep=DIR]\n");
        return 2;
    }
    testing::TempDir dir;
    const std::filesystem::path inputs =
        o.keep.empty() ? dir.path() : std::filesystem::path(o.keep);
    const auto errPath = dir.path() / "stderr";
    bool ok = true;
    // The builds measured: the label of each, and its program.
    std::vector<std::pair<std::string, std::string>> builds{{"", o.cli}};
    std::printf("glassbench-cli: %s\n", o.cli.c_str());
    if (!o.against.empty()) {
        builds = {{" (this)", o.cli}, {" (against)", o.against}};
        std::printf("against: %s\n", o.against.c_str());
    }
    for (const double mb : o.mb) {
        char name[64];
        std::snprintf(name, sizeof(name), "capture-%gMB.hex", mb);
        const auto capture = inputs / name;
        const std::uint64_t frames = WriteCapture(capture, static_cast<std::uint64_t>(mb * 1e6));
        std::printf("decode: %.1f MB of hex text, %llu frames, median of %d run(s)\n",
                    static_cast<double>(std::filesystem::file_size(capture)) / 1e6,
                    static_cast<unsigned long long>(frames), o.runs);
        for (const char* form : {"", "--json", "--script"}) {
            std::vector<Row> rows;
            for (const auto& [label, cli] : builds) {
                Row& row = rows.emplace_back();
                row.label = std::string("decode") + (*form != '\0' ? " " : "") + form + label;
                row.argv = {cli, "decode"};
                if (*form != '\0') {
                    row.argv.push_back(form);
                }
            }
            ok = DecodeRows(std::move(rows), capture, frames, o.runs, errPath) && ok;
        }
        Row xxd;
        xxd.label = "xxd -r -p";
        xxd.argv = {"xxd", "-r", "-p"};
        ok = DecodeRows({xxd}, capture, frames, o.runs, errPath) && ok;
        if (o.keep.empty()) {
            std::filesystem::remove(capture);
        }
    }

    char name[64];
    std::snprintf(name, sizeof(name), "recorded-%gMB.gbs", o.playMb);
    const auto script = inputs / name;
    const std::uint64_t frames = WriteRecording(script, static_cast<std::uint64_t>(o.playMb * 1e6));
    const std::string link = (dir.path() / "module").string();
    bench::ModuleProcess module(link, {});
    if (!module.ready()) {
        std::printf("the virtual module did not start\n");
        return 1;
    }
    std::printf("play: %.1f MB recorded script, %llu frames, --no-wait --no-pulse\n",
                static_cast<double>(std::filesystem::file_size(script)) / 1e6,
                static_cast<unsigned long long>(frames));
    for (const auto& [label, cli] : builds) {
        const Measured m =
            Measure({cli, "play", script.string(), "--port=" + link, "--no-pulse", "--no-wait"},
                    "/dev/null", errPath.string());
        std::printf("  %-34s %7.2f s  %10.0f frames/s  peak %7.1f MiB  exit %d\n",
                    ("play" + label).c_str(), m.seconds, static_cast<double>(frames) / m.seconds,
                    m.peakMib, m.exitCode);
        if (m.exitCode != 0) {
            std::ifstream err(errPath);
            std::printf("%s", std::string(std::istreambuf_iterator<char>(err), {}).c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
