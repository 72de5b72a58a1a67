#include "XInput.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

namespace glassbench::ui::testing {

struct XInput::Impl {
    using KeyFn = int (*)(Display*, unsigned, Bool, unsigned long);
    using ButtonFn = int (*)(Display*, unsigned, Bool, unsigned long);
    using MotionFn = int (*)(Display*, int, int, int, unsigned long);

    Display* display = nullptr;
    void* library = nullptr;
    KeyFn key = nullptr;
    ButtonFn button = nullptr;
    MotionFn motion = nullptr;
};

XInput::XInput() : impl_(std::make_unique<Impl>()) {
    impl_->display = XOpenDisplay(nullptr);
    impl_->library = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
    if (impl_->library != nullptr) {
        impl_->key = reinterpret_cast<Impl::KeyFn>(dlsym(impl_->library, "XTestFakeKeyEvent"));
        impl_->button =
            reinterpret_cast<Impl::ButtonFn>(dlsym(impl_->library, "XTestFakeButtonEvent"));
        impl_->motion =
            reinterpret_cast<Impl::MotionFn>(dlsym(impl_->library, "XTestFakeMotionEvent"));
    }
}

XInput::~XInput() {
    if (impl_->display != nullptr) {
        XCloseDisplay(impl_->display);
    }
    if (impl_->library != nullptr) {
        dlclose(impl_->library);
    }
}

bool XInput::Usable() const {
    return impl_->display != nullptr && impl_->key != nullptr && impl_->button != nullptr &&
           impl_->motion != nullptr;
}

void XInput::Key(const char* keysymName) {
    const unsigned code = XKeysymToKeycode(impl_->display, XStringToKeysym(keysymName));
    impl_->key(impl_->display, code, True, 0);
    impl_->key(impl_->display, code, False, 0);
    XFlush(impl_->display);
}

void XInput::Click(int x, int y) {
    impl_->motion(impl_->display, -1, x, y, 0);
    impl_->button(impl_->display, 1, True, 0);
    impl_->button(impl_->display, 1, False, 0);
    XFlush(impl_->display);
}

}  // namespace glassbench::ui::testing
