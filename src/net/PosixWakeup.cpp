#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "net/PosixFd.h"
#include "net/Wakeup.h"

namespace glassbench::net {

struct Wakeup::Native {
    UniqueFd fd{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
};

Wakeup::Wakeup() : native_(std::make_unique<Native>()) {}
Wakeup::~Wakeup() = default;

void Wakeup::Raise() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto ignored = ::write(native_->fd.Get(), &one, sizeof(one));
}

WaitToken Wakeup::Token() const {
    return native_->fd.Get();
}

}  // namespace glassbench::net
