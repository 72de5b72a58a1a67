// The usage text and the start every command shares: parsing, --help and bad usage.
#include <ostream>
#include <vector>

#include "cli/Commands.h"

namespace glassbench::cli {

const char* const kUsage =
    "Usage: glassbench-cli COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  frame [FRAME OPTIONS]\n"
    "      print the frame the window would send\n"
    "  preset COMMAND\n"
    "      print the preset section Scom.ini gives a command\n"
    "  send --port=DEVICE|INDEX [--speed=BAUD] [--no-pulse] [--repeat=N] [--interval=MS]\n"
    "       [FRAME OPTIONS]\n"
    "      send frames to a module and show its replies; --interval pauses between\n"
    "      repetitions\n"
    "  play SCRIPT --port=DEVICE|INDEX [--speed=BAUD] [--no-pulse] [--interval=MS]\n"
    "       [--junit=FILE]\n"
    "      send a script's frames, one line each, and check their replies; --junit writes\n"
    "      a JUnit XML report\n"
    "  ports\n"
    "      list the 30 port positions\n"
    "  module [MODULE OPTIONS]\n"
    "      run the virtual display module on a pseudo-terminal, or on TCP with --listen\n"
    "  decode [--json] [HEX...]\n"
    "      cut hex text (the arguments, else standard input) into frames and show each\n"
    "      one's fields and problems; --json: one JSON object a line\n"
    "  monitor --port=DEVICE|INDEX [--replies=DEVICE|INDEX] [--speed=BAUD] [--json]\n"
    "          [--count=N] [--seconds=S]\n"
    "      watch a line and never write to it: each frame decoded as it completes, with\n"
    "      its time; --replies: the module's line, five bytes a reply; ends on Ctrl+C,\n"
    "      after N frames or S seconds, with a summary\n"
    "\n"
    "Frame options:\n"
    "  --command=C      list index 0-19, list text (\"Draw Point\") or section (\"DrawPoint\")\n"
    "  --x=TEXT --y=TEXT --data=TEXT     field texts, taken verbatim\n"
    "  --transparent=I --font-size=I --lcd-type=I   list indices, -1 for no selection\n"
    "\n"
    "Play script lines (quoted as a shell would quote them, # starts a comment):\n"
    "  [FRAME OPTIONS] [--expect=HEX] [--wait-ms=N]\n"
    "                   --expect: the five-byte reply it must get, ?? for any byte;\n"
    "                   --wait-ms: a pause after the exchange\n"
    "\n"
    "Module options:\n"
    "  --link PATH         the link to publish (default $XDG_RUNTIME_DIR/glassbench-module)\n"
    "  --listen URL        serve on TCP instead, the only way on Windows: rfc2217://HOST:PORT\n"
    "                      (an RFC 2217 access server) or socket://HOST:PORT (raw bytes, wire\n"
    "                      timing at 9600 baud); HOST 127.0.0.1 unless the module must be\n"
    "                      reached from elsewhere, PORT 0 for a free one; one client at a time,\n"
    "                      a second is refused\n"
    "  --reply-delay-ms N  answer N ms (0-600000) after the frame\n"
    "  --silent            never answer\n"
    "  --reply-length N    answer with N bytes (0-255)\n"
    "  --wire-timing       take each byte's time on the wire at the speed the tool set\n"
    "  --faults SEED       misbehave on purpose, one fault a frame drawn from SEED; the answer's\n"
    "                      status byte carries the frame's number instead (from 0, modulo 256)\n"
    "  --fault-mix LIST    the faults' weights, as normal:78,long:5,split:5,late:3,junk:5,\n"
    "                      silent:2,short:2 (the default); a fault not named is never drawn\n"
    "\n"
    "Options:\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

int UsageError(std::ostream& err, const std::string& reason) {
    err << "glassbench-cli: " << reason << "\n" << kUsage;
    return kExitUsage;
}

std::optional<ParsedArgs> ParseCommand(std::string_view name, Args args,
                                       std::span<const OptionSpec> options,
                                       std::size_t maxPositional, std::ostream& out,
                                       std::ostream& err, int& exitCode) {
    std::vector<OptionSpec> known(options.begin(), options.end());
    known.push_back({"help", false});
    std::string error;
    auto parsed = ParseArgs(args, known, error);
    if (!parsed) {
        exitCode = UsageError(err, error);
        return std::nullopt;
    }
    if (parsed->Has("help")) {
        out << kUsage;
        exitCode = kExitOk;
        return std::nullopt;
    }
    if (parsed->positional.size() > maxPositional) {
        exitCode = UsageError(err, std::string(name) + " takes no argument '" +
                                       parsed->positional[maxPositional] + "'");
        return std::nullopt;
    }
    return parsed;
}

}  // namespace glassbench::cli
