// The operator dialog's keyboard rule on Win32: the key-downs of the arrow keys and of keys
// that type a character below 32 (Backspace, Tab, Enter, Escape, Ctrl with a letter or with
// [ \ ]), and any WM_CHAR below 32, never reach a control or the dialog manager; the dialog
// takes them and puts the focus on the Data field instead. Delete, Home, End, the printable
// characters and every Alt combination (WM_SYSKEYDOWN, WM_SYSCHAR: the system menu, Alt+F4,
// Alt+Down to open a list) go through.
//
// The WM_CHAR rule catches what the key-down rule cannot know on every keyboard layout, such
// as Ctrl+2 typing NUL: the key-down reaches the control, which does nothing with it, and the
// character it would type is swallowed.
#pragma once

#include <windows.h>

namespace glassbench::ui::win32 {

struct KeyModifiers {
    bool control;
    bool alt;  // Ctrl+Alt is AltGr, which types printable characters
};

// True when the dialog consumes `message` (WM_KEYDOWN, WM_CHAR, ...) with this wParam.
bool IsDialogNavigationMessage(UINT message, WPARAM wParam, KeyModifiers modifiers);

// The modifiers as they were when the message being handled was posted.
KeyModifiers CurrentModifiers();

}  // namespace glassbench::ui::win32
