// Keyboard and mouse input given at the X server through its XTEST extension, as a person at
// the keyboard and mouse gives it. Xlib's macros (None, Bool, Status) clash with Qt and
// GoogleTest, so Xlib stays inside XInput.cpp; Debian ships libXtst's headers only in
// libxtst-dev, which nothing else needs, so the XTEST calls are looked up at run time.
#pragma once

namespace glassbench::ui::testing::xinput {

// False without an X display or without XTEST.
bool Usable();
// Presses and releases the key of an X keysym name ("Return", "Escape", "5").
void Key(const char* keysymName);
// Presses `modifier` ("Alt_L"), then the key, and releases both: Alt+Space, Alt+F4.
void KeyWith(const char* modifier, const char* keysymName);
// Moves the pointer to the screen position and clicks the left button.
void Click(int x, int y);

}  // namespace glassbench::ui::testing::xinput
