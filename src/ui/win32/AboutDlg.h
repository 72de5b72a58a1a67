// The About box, built from template 100 as the operator dialog is: the icon, the program's
// name and version, who makes it, and an OK button. OK and Enter (IDOK, the default button),
// Escape and the close box (IDCANCEL) end it, as the dialog manager has them by default. Its
// icon is loaded at the size for the box's DPI.
#pragma once

#include <windows.h>

#include "ui/win32/Win32Handles.h"

namespace glassbench::ui::win32 {

class CAboutDlg {
  public:
    // `owner` is the window the box is modal over; it is centred on it.
    explicit CAboutDlg(HWND owner) : owner_(owner) {}

    INT_PTR DoModal();

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    HWND owner_;
    UniqueIcon icon_;
};

}  // namespace glassbench::ui::win32
