#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "net/UniqueHandle.h"
#include "net/Wakeup.h"

namespace glassbench::net {

namespace {

void CloseEvent(HANDLE event) {
    ::CloseHandle(event);
}

}  // namespace

struct Wakeup::Native {
    UniqueHandle<HANDLE, &CloseEvent> event{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

Wakeup::Wakeup() : native_(std::make_unique<Native>()) {}
Wakeup::~Wakeup() = default;

void Wakeup::Raise() {
    ::SetEvent(native_->event.Get());
}

WaitToken Wakeup::Token() const {
    return reinterpret_cast<WaitToken>(native_->event.Get());
}

}  // namespace glassbench::net
