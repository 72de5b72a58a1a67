// Keyboard and mouse input injected at the X server through the XTEST extension, as a person
// at the keyboard and mouse would give it.
//
// Xlib's macros (None, Bool, Status) clash with Qt and GoogleTest, so Xlib stays inside
// XInput.cpp. Debian ships libXtst's headers only in libxtst-dev, which nothing else needs,
// so the three XTEST calls are looked up in libXtst.so.6 at run time.
#pragma once

#include <memory>

namespace glassbench::ui::testing {

class XInput {
  public:
    XInput();
    ~XInput();
    XInput(const XInput&) = delete;
    XInput& operator=(const XInput&) = delete;

    // False without an X display or without XTEST.
    bool Usable() const;
    // Presses and releases the key of an X keysym name ("Return", "Escape", "5").
    void Key(const char* keysymName);
    // Moves the pointer to the screen position and clicks the left button.
    void Click(int x, int y);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace glassbench::ui::testing
