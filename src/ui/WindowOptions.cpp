#include "ui/WindowOptions.h"

#include <ostream>
#include <string_view>

namespace glassbench::ui {

namespace {

constexpr std::string_view kWindowUsage =
    "Usage: glassbench [--help] [--version] [PORT...]\n"
    "\n"
    "The operator window: pick one of the display module's twenty drawing commands, fill in\n"
    "its fields and press \"Send data\". The window packs them into one checksummed frame,\n"
    "writes it to the serial port and shows the bytes it sent and the module's five-byte reply\n"
    "as hex.\n"
    "\n"
    "At start-up it tries the thirty port positions in order at 9600 baud and opens the first\n"
    "that opens; the Port and Speed lists reopen the port. A command's fields start from its\n"
    "section of Scom.ini in the current directory.\n"
    "\n"
    "Each PORT takes the next of the first positions of the Port list: a device, or a\n"
    "network port, rfc2217://HOST:PORT (Telnet with the com-port option) or\n"
    "socket://HOST:PORT (raw TCP).\n"
    "\n"
    "Options:\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Environment:\n"
    "  GLASSBENCH_PORTS  ports that take the first positions after those named on the command\n"
    "                    line, separated by ';' (on Linux also by ':', except inside a\n"
    "                    network port's name)\n";

}  // namespace

std::optional<int> AnswerWindowOptions(int argc, char** argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            out << kWindowUsage;
            return 0;
        }
        if (arg == "--version") {
            out << "glassbench " << GLASSBENCH_VERSION << "\n";
            return 0;
        }
    }
    return std::nullopt;
}

std::vector<std::string> WindowPortNames(int argc, char** argv) {
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') {
            names.emplace_back(argv[i]);
        }
    }
    return names;
}

}  // namespace glassbench::ui
