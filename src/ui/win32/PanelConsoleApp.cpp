#include "ui/win32/PanelConsoleApp.h"

#include <windows.h>

#include <commctrl.h>

#include "serial/PortTables.h"
#include "serial/SerialLink.h"
#include "serial/StopRequest.h"
#include "ui/WindowOptions.h"
#include "ui/win32/Win32PanelWindow.h"
#include "ui/win32/Win32Toolkit.h"

namespace glassbench::ui::win32 {

int CPanelConsoleApp::Run(int argc, char** argv) {
    ports_ = WindowPortNames(argc, argv);
    return InitInstance();
}

int CPanelConsoleApp::InitInstance() {
    // The program's manifest asks for version 6 of the common controls, whose classes are
    // registered here: the standard ones, and the bar classes for the Port list's tooltip.
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    Win32Toolkit toolkit;
    const serial::StopRequest stop;
    serial::SerialLink link(serial::CreatePlatformSerialSystem(), serial::PortNameTable(ports_),
                            &toolkit);
    Win32PanelWindow window(link, toolkit);
    window.QuitWhenSet(static_cast<HANDLE>(stop.WaitHandle()));
    window.Logic().DoModal();
    return stop.ExitCode();
}

}  // namespace glassbench::ui::win32
