// glassbench.exe: the operator window for Windows.
#include <stdlib.h>
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "ui/WindowOptions.h"
#include "ui/win32/PanelConsoleApp.h"

namespace {

// The user's documents folder where Windows keeps it (it may be redirected, to a server or a
// synchronised folder), or empty when there is none.
std::filesystem::path DocumentsFolder() {
    PWSTR path = nullptr;
    std::filesystem::path documents;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path))) {
        documents = path;
    }
    ::CoTaskMemFree(path);  // on failure too, as SHGetKnownFolderPath asks
    return documents;
}

// A GUI program has a standard output only when its caller redirected it; started from a
// console, it writes to that console.
void Print(const std::string& text) {
    if (::GetStdHandle(STD_OUTPUT_HANDLE) == nullptr && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
    }
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::ostringstream text;
    const auto options = glassbench::ui::ReadWindowOptions(__argc, __argv, text);
    if (options.exitCode) {
        Print(text.str());
        return *options.exitCode;
    }
    // Where that fails, the window stays in the folder it was started in: the Start-menu
    // shortcut starts it in its program folder, beside the sample Scom.ini.
    if (options.inDocuments) {
        glassbench::ui::EnterPresetsFolder(DocumentsFolder());
    }
    glassbench::ui::win32::CPanelConsoleApp theApp;
    // The C runtime's split of the command line, as main() would have it.
    return theApp.Run(__argc, __argv);
}
