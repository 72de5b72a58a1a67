#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "ui/KeyboardFilter.h"

namespace glassbench::ui {
namespace {

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool consumed;
};

// Test lists show the case's name, not its bytes.
void PrintTo(const KeyCase& c, std::ostream* out) {
    *out << c.name;
}

class KeyboardFilterTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyboardFilterTest, ConsumesArrowsAndControlCharactersOnly) {
    const KeyCase& c = GetParam();
    EXPECT_EQ(IsDialogNavigationKey(c.key, c.modifiers, c.text), c.consumed);
}

const Qt::KeyboardModifiers kNone = Qt::NoModifier;
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
const Qt::KeyboardModifiers kAlt = Qt::AltModifier;
const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyboardFilterTest,
    ::testing::Values(KeyCase{"Left", Qt::Key_Left, kNone, "", true},
                      KeyCase{"Up", Qt::Key_Up, kNone, "", true},
                      KeyCase{"Right", Qt::Key_Right, kNone, "", true},
                      KeyCase{"Down", Qt::Key_Down, kNone, "", true},
                      KeyCase{"ShiftLeft", Qt::Key_Left, kShift, "", true},
                      KeyCase{"KeypadDown", Qt::Key_Down, Qt::KeypadModifier, "", true},
                      KeyCase{"Backspace", Qt::Key_Backspace, kNone, "\b", true},
                      KeyCase{"Tab", Qt::Key_Tab, kNone, "\t", true},
                      KeyCase{"ShiftTab", Qt::Key_Backtab, kShift, "", true},
                      KeyCase{"Return", Qt::Key_Return, kNone, "\r", true},
                      KeyCase{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, "\r", true},
                      KeyCase{"Escape", Qt::Key_Escape, kNone, "\x1b", true},
                      KeyCase{"EscapeWithoutText", Qt::Key_Escape, kNone, "", true},
                      // X11 reports Ctrl+C with the control character as its text ...
                      KeyCase{"CtrlCAsControlCharacter", Qt::Key_C, kCtrl, "\x03", true},
                      // ... test tools and some input methods with the letter itself.
                      KeyCase{"CtrlCAsLetter", Qt::Key_C, kCtrl, "c", true},
                      KeyCase{"CtrlVWithoutText", Qt::Key_V, kCtrl, "", true},
                      KeyCase{"CtrlShiftX", Qt::Key_X, kCtrl | kShift, "X", true},
                      KeyCase{"CtrlBracket", Qt::Key_BracketLeft, kCtrl, "", true},
                      KeyCase{"CtrlUnderscore", Qt::Key_Underscore, kCtrl | kShift, "", true},
                      KeyCase{"UnknownKeyWithControlText", Qt::Key_unknown, kNone, "\x1c", true},
                      KeyCase{"Delete", Qt::Key_Delete, kNone, "\x7f", false},
                      KeyCase{"Home", Qt::Key_Home, kNone, "", false},
                      KeyCase{"End", Qt::Key_End, kNone, "", false},
                      KeyCase{"Letter", Qt::Key_A, kNone, "a", false},
                      KeyCase{"Digit", Qt::Key_5, kNone, "5", false},
                      KeyCase{"Blank", Qt::Key_Space, kNone, " ", false},
                      KeyCase{"LatinOne", Qt::Key_Eacute, kNone, "\u00e9", false},
                      KeyCase{"F4", Qt::Key_F4, kNone, "", false},
                      KeyCase{"CtrlDigit", Qt::Key_5, kCtrl, "5", false},
                      KeyCase{"AltF4", Qt::Key_F4, kAlt, "", false},
                      KeyCase{"AltSpace", Qt::Key_Space, kAlt, " ", false},
                      KeyCase{"AltDownOpensAList", Qt::Key_Down, kAlt, "", false},
                      KeyCase{"AltLetter", Qt::Key_A, kAlt, "a", false},
                      KeyCase{"AltGrAsCtrlAlt", Qt::Key_Q, kCtrl | kAlt, "@", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace glassbench::ui
