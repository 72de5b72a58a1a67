#include "ui/win32/KeyboardFilter.h"

namespace glassbench::ui::win32 {

namespace {

// Keys whose character is a control character whatever the modifiers.
bool IsNavigationKey(WPARAM key) {
    switch (key) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_BACK:
        case VK_TAB:
        case VK_RETURN:
        case VK_ESCAPE:
            return true;
        default:
            return false;
    }
}

// With Ctrl, letters type 1 to 26 and [ \ ] (the OEM keys of a US layout) 27 to 29.
bool TypesControlCharacterWithCtrl(WPARAM key) {
    return (key >= 'A' && key <= 'Z') || key == VK_OEM_4 || key == VK_OEM_5 || key == VK_OEM_6;
}

}  // namespace

bool IsDialogNavigationMessage(UINT message, WPARAM wParam, KeyModifiers modifiers) {
    if (message == WM_CHAR) {
        return wParam < 32;
    }
    if (message != WM_KEYDOWN || modifiers.alt) {
        return false;
    }
    return IsNavigationKey(wParam) || (modifiers.control && TypesControlCharacterWithCtrl(wParam));
}

KeyModifiers CurrentModifiers() {
    return {::GetKeyState(VK_CONTROL) < 0, ::GetKeyState(VK_MENU) < 0};
}

}  // namespace glassbench::ui::win32
