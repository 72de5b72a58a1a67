// A flag that one thread raises and another waits for among other things (WaitForAny): an
// eventfd on Linux (PosixWakeup.cpp), a manual-reset event on Windows (Win32Wakeup.cpp). Once
// raised it stays raised.
#pragma once

#include <memory>

#include "net/Io.h"

namespace glassbench::net {

class Wakeup {
  public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    // Safe from any thread, and more than once.
    void Raise();
    WaitToken Token() const;

    struct Native;

  private:
    std::unique_ptr<Native> native_;
};

}  // namespace glassbench::net
