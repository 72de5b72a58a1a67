// The toolkit seam on Win32: MessageBoxA, the wait cursor, and a pause that keeps the windows
// painted while the operator's input waits in the queue.
//
// The pause waits with MsgWaitForMultipleObjectsEx against a deadline on the monotonic clock,
// waking only for what keeps windows alive (paint, messages other threads send, posted
// messages and timers) and taking only those from the queue. Keys and clicks made meanwhile
// stay queued and are handled afterwards, in order, as on Linux: no click can start another
// action in the middle of a port reopen, and an exposed window is never left blank.
//
// The busy cursor is set at once (a reply wait blocks the thread next, and nothing would set
// it while the thread is blocked); the operator window keeps it over itself through
// WM_SETCURSOR while Busy() holds.
#pragma once

#include <windows.h>

#include "ui/Toolkit.h"

namespace glassbench::ui::win32 {

// The handle a window passes as a message box's owner, and the window it stands for.
inline WindowHandle OwnerHandle(HWND window) {
    return static_cast<void*>(window);
}
inline HWND OwnerWindow(WindowHandle owner) {
    return static_cast<HWND>(owner);
}

class Win32Toolkit final : public Toolkit {
  public:
    void ShowMessage(WindowHandle owner, std::string_view text, std::string_view caption,
                     MessageIcon icon) override;
    void BeginBusyCursor() override;
    void EndBusyCursor() override;
    void Pause(std::chrono::milliseconds duration) override;

    bool Busy() const { return busyDepth_ > 0; }
    // Leaves every modal loop of the thread (WM_QUIT, which each passes on to the one around
    // it), and shows no more boxes and waits no more pauses: the program is on its way out.
    void Quit();

  private:
    int busyDepth_ = 0;
    HCURSOR cursorBeforeBusy_ = nullptr;
    bool quitting_ = false;
};

}  // namespace glassbench::ui::win32
