#include "XInput.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

namespace glassbench::ui::testing::xinput {
namespace {

Display* const display = XOpenDisplay(nullptr);
void* const xtst = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);

template <class Function>
Function* Find(const char* name) {
    return xtst != nullptr ? reinterpret_cast<Function*>(dlsym(xtst, name)) : nullptr;
}

auto* const fakeKey = Find<int(Display*, unsigned, Bool, unsigned long)>("XTestFakeKeyEvent");
auto* const fakeButton = Find<int(Display*, unsigned, Bool, unsigned long)>("XTestFakeButtonEvent");
auto* const fakeMotion = Find<int(Display*, int, int, int, unsigned long)>("XTestFakeMotionEvent");

}  // namespace

bool Usable() {
    return display != nullptr && fakeKey != nullptr && fakeButton != nullptr &&
           fakeMotion != nullptr;
}

void Key(const char* keysymName) {
    const unsigned code = XKeysymToKeycode(display, XStringToKeysym(keysymName));
    fakeKey(display, code, True, 0);
    fakeKey(display, code, False, 0);
    XFlush(display);
}

void KeyWith(const char* modifier, const char* keysymName) {
    const unsigned held = XKeysymToKeycode(display, XStringToKeysym(modifier));
    fakeKey(display, held, True, 0);
    Key(keysymName);
    fakeKey(display, held, False, 0);
    XFlush(display);
}

void Click(int x, int y) {
    fakeMotion(display, -1, x, y, 0);
    fakeButton(display, 1, True, 0);
    fakeButton(display, 1, False, 0);
    XFlush(display);
}

}  // namespace glassbench::ui::testing::xinput
