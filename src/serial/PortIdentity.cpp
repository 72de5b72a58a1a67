#include "serial/PortIdentity.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "serial/PortSelector.h"

namespace glassbench::serial {

namespace {

// The device namespace prefix Windows names some ports with (\\.\COM10), which names the same
// port as the name without it.
std::string_view WithoutDevicePrefix(std::string_view name) {
    return name.substr(0, 4) == "\\\\.\\" ? name.substr(4) : name;
}

// Where a path leads once every link on the way is followed, or "" when it leads nowhere (a
// Windows port name, a link whose adapter is gone).
std::string Canonical(std::string_view name) {
    std::error_code error;
    const auto path = std::filesystem::canonical(std::filesystem::path(name), error);
    return error ? std::string() : path.string();
}

}  // namespace

std::string HexId(std::uint16_t id) {
    static constexpr char kDigits[] = "0123456789abcdef";
    return {kDigits[(id >> 12) & 15], kDigits[(id >> 8) & 15], kDigits[(id >> 4) & 15],
            kDigits[id & 15]};
}

const PresentPort* FindPresentPort(std::string_view name, std::span<const PresentPort> present) {
    const std::string_view bare = WithoutDevicePrefix(name);
    for (const PresentPort& port : present) {
        if (WithoutDevicePrefix(port.device) == bare ||
            std::find(port.links.begin(), port.links.end(), name) != port.links.end()) {
            return &port;
        }
    }
    // Any other link to the device, such as the virtual module's or one of the user's own.
    const std::string target = Canonical(name);
    if (target.empty()) {
        return nullptr;
    }
    for (const PresentPort& port : present) {
        if (Canonical(port.device) == target) {
            return &port;
        }
    }
    return nullptr;
}

std::string SelectorOf(const PresentPort& port, std::span<const PresentPort> present) {
    if (!port.usb) {
        return {};
    }
    const UsbIdentity& usb = *port.usb;
    std::string selector = "usb:" + HexId(usb.vendorId) + ":" + HexId(usb.productId);
    if (!usb.serialNumber.empty()) {
        selector += ":" + usb.serialNumber;
    } else if (!usb.location.empty()) {
        selector += "@" + usb.location;
    }
    std::string reason;
    const auto parsed = ParsePortSelector(selector, reason);
    if (!parsed) {
        return {};  // a serial number a selector cannot hold
    }
    const auto matching = std::count_if(present.begin(), present.end(),
                                        [&](const PresentPort& p) { return Matches(*parsed, p); });
    return matching == 1 ? selector : std::string();
}

std::string PortSummary(const PresentPort& port) {
    if (!port.usb) {
        return !port.friendlyName.empty() ? port.friendlyName
               : !port.driver.empty()     ? "driver " + port.driver
                                          : std::string();
    }
    const UsbIdentity& usb = *port.usb;
    std::string text = !usb.product.empty() ? usb.product
                       : !port.friendlyName.empty()
                           ? port.friendlyName
                           : "USB " + HexId(usb.vendorId) + ":" + HexId(usb.productId);
    if (!usb.serialNumber.empty()) {
        text += ", serial number " + usb.serialNumber;
    } else if (!usb.location.empty()) {
        text += ", at " + usb.location;
    }
    return text;
}

void SortPorts(std::vector<PresentPort>& ports) {
    std::sort(ports.begin(), ports.end(), [](const PresentPort& a, const PresentPort& b) {
        return std::pair(a.device.size(), a.device) < std::pair(b.device.size(), b.device);
    });
}

}  // namespace glassbench::serial
