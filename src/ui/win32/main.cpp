// glassbench.exe: the operator window for Windows.
#include <windows.h>

#include "ui/win32/PanelConsoleApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    glassbench::ui::win32::CPanelConsoleApp theApp;
    return theApp.Run();
}
