// The operator window's own command line: --help and --version, answered before any toolkit
// starts (so without a display), --in-documents, which the Windows Start-menu shortcut gives,
// and port names (a device, rfc2217://HOST:PORT, socket://HOST:PORT), which take the first
// positions of the Port list. Other options are left to the toolkit, which takes some of its
// own (Qt's -platform, for one); the port names are read once it has taken them.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace glassbench::ui {

struct WindowOptions {
    std::optional<int> exitCode;  // set when the arguments asked for help or the version
    bool inDocuments = false;     // work in the presets folder of the user's documents
};

// Reads the window's options from `argv`, printing help or the version to `out`.
WindowOptions ReadWindowOptions(int argc, char** argv, std::ostream& out);

// The folder, inside the user's documents folder, where the window started with
// --in-documents works and so reads Scom.ini.
inline constexpr const char* kPresetsFolderName = "Glassbench";

// Makes `documents`/Glassbench if it is missing and makes it the current directory. False,
// with the current directory as it was, when `documents` is empty or missing (it is never
// made: a documents folder that is not there is redirected or offline, not new) or the folder
// cannot be made or entered.
bool EnterPresetsFolder(const std::filesystem::path& documents);

// The port names on the command line, once the toolkit has taken its own options from it:
// every argument after the program's name that is no option, in order.
std::vector<std::string> WindowPortNames(int argc, char** argv);

}  // namespace glassbench::ui
