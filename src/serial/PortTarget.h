// The same port across a reconnection, and never another one.
//
// A USB adapter is known by what it is: its selector (PortSelector.h: VID:PID and serial number,
// or VID:PID and where it is plugged in when it has none), taken from the ports present when it
// was opened. When it is lost and comes back, that finds it under whatever name the system has
// given it now; a name that another device has taken meanwhile is not opened, since the selector
// does not match it. A port named by a selector is that selector already; anything else (a
// built-in UART, a pseudo-terminal, a network port) is known by its name.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "serial/PortIdentity.h"

namespace glassbench::serial {

class PortTarget {
  public:
    PortTarget() = default;
    // `name` as the port was named: a device, a selector or a network port.
    explicit PortTarget(std::string name) : name_(std::move(name)) {}

    // Notes what the port, just opened, is among the ports present then: the device it opened
    // as (for a selector, the one it matched).
    std::string Opened(std::span<const PresentPort> present);
    // What to open now: the device the adapter has now, or the name; nullopt when the adapter
    // is not there (or the selector matches several ports).
    std::optional<std::string> DeviceNow(std::span<const PresentPort> present) const;
    // What is waited for, as a person names it: the selector, else the name.
    const std::string& Describe() const { return selector_.empty() ? name_ : selector_; }
    const std::string& Name() const { return name_; }

  private:
    std::string name_;
    std::string selector_;  // empty: the port is known by its name
};

}  // namespace glassbench::serial
