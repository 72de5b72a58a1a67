#include "serial/PortTarget.h"

#include "serial/PortSelector.h"

namespace glassbench::serial {

void PortTarget::Opened(const std::string& device, std::span<const PresentPort> present) {
    if (IsPortSelector(name_)) {
        selector_ = name_;
        return;
    }
    const PresentPort* port = FindPresentPort(device, present);
    selector_ = port != nullptr ? SelectorOf(*port, present) : std::string();
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
