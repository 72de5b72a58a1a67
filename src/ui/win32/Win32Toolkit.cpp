#include "ui/win32/Win32Toolkit.h"

#include <algorithm>
#include <string>

namespace glassbench::ui::win32 {

void Win32Toolkit::ShowMessage(WindowHandle owner, std::string_view text, std::string_view caption,
                               MessageIcon icon) {
    if (quitting_) {
        return;
    }
    // Texts name devices as the serial link opens them, in the ANSI code page, which the
    // manifest makes UTF-8.
    const std::string body(text);
    const std::string title(caption);
    const HWND parent = OwnerWindow(owner);
    UINT type =
        MB_OK | (icon == MessageIcon::Information ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    // Without an owner the box still keeps the thread's windows from taking input.
    if (parent == nullptr) {
        type |= MB_TASKMODAL;
    }
    ::MessageBoxA(parent, body.c_str(), title.c_str(), type);
}

void Win32Toolkit::BeginBusyCursor() {
    if (busyDepth_++ == 0) {
        cursorBeforeBusy_ = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    }
}

void Win32Toolkit::EndBusyCursor() {
    if (busyDepth_ > 0 && --busyDepth_ == 0) {
        ::SetCursor(cursorBeforeBusy_ != nullptr ? cursorBeforeBusy_
                                                 : ::LoadCursorW(nullptr, IDC_ARROW));
    }
}

void Win32Toolkit::Pause(std::chrono::milliseconds duration) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + duration;
    constexpr UINT kWakeFor = QS_PAINT | QS_SENDMESSAGE | QS_POSTMESSAGE | QS_TIMER;
    // PM_QS_POSTMESSAGE covers timers too; sent messages are delivered by PeekMessage itself.
    constexpr UINT kTake = PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE | PM_QS_POSTMESSAGE;
    while (!quitting_) {
        MSG message;
        while (!quitting_ && ::PeekMessageW(&message, nullptr, 0, 0, kTake)) {
            if (message.message == WM_QUIT) {
                // For the modal loops around the pause, which end on it.
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            ::DispatchMessageW(&message);
        }
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return;
        }
        // Rounded up, so that the wait never ends before the deadline.
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        ::MsgWaitForMultipleObjectsEx(0, nullptr,
                                      static_cast<DWORD>(std::min<long long>(ms, 60000)), kWakeFor,
                                      MWMO_INPUTAVAILABLE);
    }
}

void Win32Toolkit::Quit() {
    quitting_ = true;
    ::EndMenu();
    ::PostQuitMessage(0);
}

}  // namespace glassbench::ui::win32
