// glassbench.exe: the operator window for Windows.
#include <stdlib.h>
#include <windows.h>

#include "ui/win32/PanelConsoleApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    glassbench::ui::win32::CPanelConsoleApp theApp;
    // The C runtime's split of the command line, as main() would have it.
    return theApp.Run(__argc, __argv);
}
