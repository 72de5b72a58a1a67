// The one owner of a system handle: a POSIX descriptor, a Win32 handle, an icon, a hook. It
// releases what it holds exactly once, when it goes or is given another, however the scope is
// left; Release hands the handle on to a new owner without releasing it.
#pragma once

#include <utility>

namespace glassbench::net {

template <class Handle, auto Free, Handle kNone = Handle{}>
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.handle_, kNone));
        }
        return *this;
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != kNone; }
    Handle Release() { return std::exchange(handle_, kNone); }
    void Reset(Handle handle = kNone) {
        if (handle_ != kNone) {
            Free(handle_);
        }
        handle_ = handle;
    }

  private:
    Handle handle_ = kNone;
};

}  // namespace glassbench::net
