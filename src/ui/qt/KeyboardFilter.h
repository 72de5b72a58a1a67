// The operator dialog's keyboard rule: arrow keys and typed characters below 32 (Backspace,
// Tab, Enter, Escape, Ctrl with a letter) never reach a control; the dialog takes them and
// puts the focus on the Data field instead. Delete, Home, End, the printable characters and
// every Alt combination (Alt+F4 included) go through.
//
// The rule looks at the key as well as its text. Qt reports Ctrl+C on X11 with the text
// "\x03", but input synthesised by test tools and some input methods carries the letter
// itself ("c") with the Control modifier, so Ctrl+letter is matched by key and modifier.
#pragma once

#include <QString>
#include <Qt>

namespace glassbench::ui::qt {

// True when the dialog consumes a key press with these properties.
bool IsDialogNavigationKey(int key, Qt::KeyboardModifiers modifiers, const QString& text);

}  // namespace glassbench::ui::qt
