#include "ui/qt/KeyboardFilter.h"

namespace glassbench::ui::qt {

namespace {

bool IsArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
}

// Keys whose character is a control character whatever the modifiers.
bool IsControlCharacterKey(int key) {
    switch (key) {
        case Qt::Key_Backspace:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return true;
        default:
            return false;
    }
}

// With Ctrl, these keys type the characters 0 to 31: Ctrl+@ is 0, Ctrl+A to Ctrl+Z are 1 to
// 26, and Ctrl+[ \ ] ^ _ are 27 to 31.
bool TypesControlCharacterWithCtrl(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return true;
    }
    switch (key) {
        case Qt::Key_At:
        case Qt::Key_BracketLeft:
        case Qt::Key_Backslash:
        case Qt::Key_BracketRight:
        case Qt::Key_AsciiCircum:
        case Qt::Key_Underscore:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool IsDialogNavigationKey(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    // Alt turns a key into a system key (menus, Alt+F4, Alt+Down to open a list), and Ctrl+Alt
    // is AltGr on Windows keyboards, which types printable characters.
    if (modifiers & Qt::AltModifier) {
        return false;
    }
    if (IsArrow(key) || IsControlCharacterKey(key)) {
        return true;
    }
    if ((modifiers & Qt::ControlModifier) && TypesControlCharacterWithCtrl(key)) {
        return true;
    }
    return !text.isEmpty() && text.at(0).unicode() < 32;
}

}  // namespace glassbench::ui::qt
