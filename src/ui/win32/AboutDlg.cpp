#include "ui/win32/AboutDlg.h"

#include "ui/DialogTemplate.h"
#include "ui/win32/DialogBuilder.h"
#include "ui/win32/Dpi.h"

namespace glassbench::ui::win32 {

namespace {

constexpr DWORD kAboutStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

void CentreOn(HWND window, HWND owner) {
    RECT box;
    RECT over;
    if (owner == nullptr || !::GetWindowRect(window, &box) || !::GetWindowRect(owner, &over)) {
        return;
    }
    const LONG x = over.left + ((over.right - over.left) - (box.right - box.left)) / 2;
    const LONG y = over.top + ((over.bottom - over.top) - (box.bottom - box.top)) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

INT_PTR CAboutDlg::DoModal() {
    const DialogTemplateMemory memory(AboutDialogTemplate(), kAboutStyle);
    return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), memory.Get(), owner_, &DialogProc,
                                     reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* self = reinterpret_cast<CAboutDlg*>(lParam);
            CompleteControls(dialog, AboutDialogTemplate(), {});
            self->icon_ = LoadAppIcon(SM_CXICON, WindowDpi(dialog));
            ShowIcon(dialog, AboutDialogTemplate(), self->icon_.Get());
            CentreOn(dialog, self->owner_);
            return TRUE;  // the focus goes to the first tab stop: OK
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                ::EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace glassbench::ui::win32
