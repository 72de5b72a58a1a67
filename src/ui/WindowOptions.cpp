#include "ui/WindowOptions.h"

#include <ostream>
#include <string_view>
#include <system_error>

namespace glassbench::ui {

namespace {

constexpr std::string_view kWindowUsage =
    "Usage: glassbench [--in-documents] [--help] [--version] [PORT...]\n"
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
    "Each PORT takes the next of the first positions of the Port list: a device, a USB\n"
    "adapter by what it is (usb:VID:PID, usb:VID:PID:SERIAL or usb:VID:PID@LOCATION, which\n"
    "must match exactly one port present), or a network port, rfc2217://HOST:PORT (Telnet\n"
    "with the com-port option) or socket://HOST:PORT (raw TCP).\n"
    "\n"
    "Options:\n"
    "  --in-documents  work in the Glassbench folder of your documents folder (made if\n"
    "                  missing), and so read Scom.ini from there\n"
    "  --help          show this text and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Environment:\n"
    "  GLASSBENCH_PORTS  ports that take the first positions after those named on the command\n"
    "                    line, separated by ';' (on Linux also by ':', except inside a\n"
    "                    network port's name or between a selector's ids)\n"
    "  GLASSBENCH_LOCK_DIR\n"
    "                    the folder for UUCP lock files instead of /run/lock and /var/lock\n"
    "                    (Linux); empty, none are read or written\n";

}  // namespace

WindowOptions ReadWindowOptions(int argc, char** argv, std::ostream& out) {
    WindowOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            out << kWindowUsage;
            options.exitCode = 0;
            return options;
        }
        if (arg == "--version") {
            out << "glassbench " << GLASSBENCH_VERSION << "\n";
            options.exitCode = 0;
            return options;
        }
        if (arg == "--in-documents") {
            options.inDocuments = true;
        }
    }
    return options;
}

bool EnterPresetsFolder(const std::filesystem::path& documents) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (documents.empty() || !fs::is_directory(documents, error)) {
        return false;
    }
    const fs::path folder = documents / kPresetsFolderName;
    fs::create_directory(folder, error);  // false, and no error, when it is there already
    if (error) {
        return false;
    }
    fs::current_path(folder, error);
    return !error;
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
