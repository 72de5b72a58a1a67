// What an X server shows of programs a check does not own (a Windows program under Wine draws
// plain X windows): the viewable top-level windows with their titles and places, the keyboard
// focus, and waits for them that block on the server's events against a deadline.
//
// The connection asks the server for every window's mapping, unmapping, moving, renaming and
// focus change, so that a wait wakes when anything it looks at may have changed, and looks
// again. Windows come and go while they are read; the errors a vanished window raises are
// ignored. Xlib's macros (None, Bool, Status) clash with GoogleTest, so Xlib stays inside
// XWindows.cpp, as it does in XInput.cpp.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace glassbench::ui::testing::xwindows {

using Deadline = std::chrono::steady_clock::time_point;

struct TopLevel {
    unsigned long id = 0;
    std::string title;  // UTF-8; empty for a popup (a menu, a dropped-down list)
    int x = 0;          // on the screen, the window's frame included
    int y = 0;
    int width = 0;
    int height = 0;
    bool focused = false;  // it or a window inside it has the keyboard focus
};
using TopLevels = std::vector<TopLevel>;

// False without an X display.
bool Usable();
// The viewable top-level windows, bottom to top (tiny helper windows left out).
TopLevels Viewable();
// Waits until `done` holds for the windows on the screen; false if it does not by `deadline`.
bool WaitFor(const std::function<bool(const TopLevels&)>& done, Deadline deadline);

// The viewable window titled `title` once it has the keyboard focus; id 0 if none by then. A
// window that shows up without it is given the focus, as a window manager would give it.
TopLevel WaitForFocused(const std::string& title, Deadline deadline);
// True once no viewable window is titled `title`.
bool WaitUntilGone(const std::string& title, Deadline deadline);

}  // namespace glassbench::ui::testing::xwindows
