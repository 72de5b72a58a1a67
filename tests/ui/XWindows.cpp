#include "XWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>

namespace glassbench::ui::testing::xwindows {
namespace {

int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

struct Connection {
    Connection() : display(XOpenDisplay(nullptr)) {
        if (display == nullptr) {
            return;
        }
        XSetErrorHandler(&IgnoreErrors);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask | FocusChangeMask);
        netWmName = XInternAtom(display, "_NET_WM_NAME", False);
        utf8 = XInternAtom(display, "UTF8_STRING", False);
    }
    ~Connection() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
    Display* display;
    Atom netWmName = 0;
    Atom utf8 = 0;
};

Connection& Server() {
    static Connection connection;
    return connection;
}

std::string Title(Connection& x, Window window) {
    unsigned char* data = nullptr;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    std::string title;
    if (XGetWindowProperty(x.display, window, x.netWmName, 0, 1024, False, x.utf8, &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<const char*>(data), count);
    } else {
        char* name = nullptr;
        if (XFetchName(x.display, window, &name) && name != nullptr) {
            title = name;
        }
        data = reinterpret_cast<unsigned char*>(name);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return title;
}

// The top-level window (a child of the root) that holds the keyboard focus.
Window FocusedTopLevel(Connection& x) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x.display, &focus, &revert);
    const Window root = DefaultRootWindow(x.display);
    while (focus != 0 && focus != PointerRoot && focus != root) {
        Window parent = 0;
        Window rootReturn = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x.display, focus, &rootReturn, &parent, &children, &count)) {
            return 0;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root) {
            return focus;
        }
        focus = parent;
    }
    return 0;
}

void DrainEvents(Connection& x) {
    while (XEventsQueued(x.display, QueuedAfterReading) > 0) {
        XEvent event;
        XNextEvent(x.display, &event);
    }
}

}  // namespace

bool Usable() {
    return Server().display != nullptr;
}

TopLevels Viewable() {
    Connection& x = Server();
    const Window root = DefaultRootWindow(x.display);
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    TopLevels windows;
    if (!XQueryTree(x.display, root, &rootReturn, &parent, &children, &count)) {
        return windows;
    }
    const Window focused = FocusedTopLevel(x);
    for (unsigned i = 0; i < count; ++i) {
        // Asked for each time: windows that appeared since the last look are new to us.
        XSelectInput(x.display, children[i],
                     StructureNotifyMask | PropertyChangeMask | FocusChangeMask);
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(x.display, children[i], &attributes) ||
            attributes.map_state != IsViewable || attributes.width < 8 || attributes.height < 8) {
            continue;
        }
        windows.push_back({children[i], Title(x, children[i]), attributes.x, attributes.y,
                           attributes.width, attributes.height, children[i] == focused});
    }
    if (children != nullptr) {
        XFree(children);
    }
    return windows;
}

bool WaitFor(const std::function<bool(const TopLevels&)>& done, Deadline deadline) {
    Connection& x = Server();
    for (;;) {
        DrainEvents(x);
        if (done(Viewable())) {
            return true;
        }
        if (XEventsQueued(x.display, QueuedAlready) > 0) {
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd server{ConnectionNumber(x.display), POLLIN, 0};
        poll(&server, 1, static_cast<int>(left.count()));
    }
}

TopLevel WaitForFocused(const std::string& title, Deadline deadline) {
    Connection& x = Server();
    TopLevel found;
    // The focused window when the focus was last given, and whether it has moved since.
    unsigned long focusedAtGive = 0;
    bool given = false;
    WaitFor(
        [&](const TopLevels& windows) {
            unsigned long focused = 0;
            const TopLevel* target = nullptr;
            for (const TopLevel& window : windows) {
                focused = window.focused ? window.id : focused;
                target = window.title == title ? &window : target;
            }
            if (target == nullptr) {
                return false;
            }
            if (target->focused) {
                found = *target;
                return true;
            }
            // Without a window manager nobody but Wine gives an unmanaged window the focus,
            // and Wine 8 can lose the race with its own focus change on the window behind (the
            // system menu that has just closed hands the focus back to the dialog after the
            // About box has taken it). Give it as a window manager would on a map, and again
            // whenever the focus has moved somewhere else since.
            if (!given || focused != focusedAtGive) {
                XSetInputFocus(x.display, target->id, RevertToParent, CurrentTime);
                XFlush(x.display);
                given = true;
                focusedAtGive = focused;
            }
            return false;
        },
        deadline);
    return found;
}

bool WaitUntilGone(const std::string& title, Deadline deadline) {
    return WaitFor(
        [&](const TopLevels& windows) {
            return std::none_of(windows.begin(), windows.end(),
                                [&](const TopLevel& window) { return window.title == title; });
        },
        deadline);
}

}  // namespace glassbench::ui::testing::xwindows
