// Owners for the Win32 handles the window takes (the one handle owner, net/UniqueHandle.h):
// icons, fonts, the message hook and the thread-pool wait on the stop request. Each is released
// exactly once, when its owner goes, however the scope is left. The dialog and its controls are the
// dialog manager's: DialogBoxIndirectParamW destroys them before it returns, so the window keeps
// only a plain HWND for the modal run.
#pragma once

#include <windows.h>

#include "net/UniqueHandle.h"

namespace glassbench::ui::win32 {

using net::UniqueHandle;

inline void ReleaseIcon(HICON icon) {
    ::DestroyIcon(icon);
}
inline void ReleaseFont(HFONT font) {
    ::DeleteObject(font);
}
inline void ReleaseHook(HHOOK hook) {
    ::UnhookWindowsHookEx(hook);
}
// Blocks until a callback in flight has returned, so that none runs after its owner is gone.
inline void ReleaseWait(HANDLE wait) {
    ::UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
}

// Icons loaded without LR_SHARED, which are the loader's to destroy.
using UniqueIcon = UniqueHandle<HICON, &ReleaseIcon>;
using UniqueFont = UniqueHandle<HFONT, &ReleaseFont>;
using UniqueHook = UniqueHandle<HHOOK, &ReleaseHook>;
using UniqueWait = UniqueHandle<HANDLE, &ReleaseWait>;

// A window's device context (the screen's for a null window), with a font selected into it
// unless that is null, both given back at the end.
class WindowDC {
  public:
    explicit WindowDC(HWND window, HFONT font = nullptr)
        : window_(window),
          dc_(::GetDC(window)),
          previous_(font != nullptr ? ::SelectObject(dc_, font) : nullptr) {}
    ~WindowDC() {
        if (previous_ != nullptr) {
            ::SelectObject(dc_, previous_);
        }
        ::ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace glassbench::ui::win32
