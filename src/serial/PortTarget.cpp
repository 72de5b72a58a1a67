#include "serial/PortTarget.h"

#include "serial/PortSelector.h"

namespace glassbench::serial {

std::string PortTarget::Opened(std::span<const PresentPort> present) {
    std::string device = ResolvePortName(name_, present).device;
    if (IsPortSelector(name_)) {
        selector_ = name_;
        return device;
    }
    const PresentPort* port = FindPresentPort(device, present);
    selector_ = port != nullptr ? SelectorOf(*port, present) : std::string();
    return device;
}

std::optional<std::string> PortTarget::DeviceNow(std::span<const PresentPort> present) const {
    if (selector_.empty()) {
        return name_;
    }
    const ResolvedPort resolved = ResolvePortName(selector_, present);
    if (resolved.outcome != ResolvedPort::Outcome::Found) {
        return std::nullopt;
    }
    return resolved.device;
}

}  // namespace glassbench::serial
