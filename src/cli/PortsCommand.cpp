// "ports": the thirty positions of the Port list, with the device each opens and whether it
// is there, then every port the system reports present with what it is (PortIdentity.h) and
// the selector that names it, so that a port beyond the thirty, or the one a newly plugged
// adapter got, can be found and named in --port or GLASSBENCH_PORTS.
//
// --json prints one object a line: the thirty positions in order, then each present port no
// position opens, with the same keys; what does not apply is null.
#include <algorithm>
#include <iomanip>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "serial/PortSelector.h"
#include "serial/SerialLink.h"

namespace glassbench::cli {

namespace {

using serial::PresentPort;

// The present port a position's name opens: a selector's one match, or the port the name
// leads to.
const PresentPort* PortOf(const std::string& name, const std::vector<PresentPort>& present) {
    const serial::ResolvedPort resolved = serial::ResolvePortName(name, present);
    return resolved.outcome == serial::ResolvedPort::Outcome::Found
               ? serial::FindPresentPort(resolved.device, present)
               : nullptr;
}

JsonObject& TextOrNull(JsonObject& object, std::string_view key, std::string_view text) {
    return text.empty() ? object.Null(key) : object.String(key, text);
}

template <class T>
JsonObject& NumberOrNull(JsonObject& object, std::string_view key, const std::optional<T>& n) {
    return n ? object.Number(key, *n) : object.Null(key);
}

std::string JsonLine(const std::string& device, bool there, const PresentPort* port,
                     std::optional<int> position, const std::vector<PresentPort>& present) {
    static const PresentPort kNothing;
    const PresentPort& p = port != nullptr ? *port : kNothing;
    const serial::UsbIdentity usb = p.usb.value_or(serial::UsbIdentity{});
    JsonObject object;
    object.String("device", device).Bool("present", there);
    TextOrNull(object, "driver", p.driver);
    TextOrNull(object, "vid", p.usb ? serial::HexId(usb.vendorId) : "");
    TextOrNull(object, "pid", p.usb ? serial::HexId(usb.productId) : "");
    TextOrNull(object, "serial_number", usb.serialNumber);
    TextOrNull(object, "manufacturer", usb.manufacturer);
    TextOrNull(object, "product", usb.product);
    NumberOrNull(object, "interface", usb.interfaceNumber);
    TextOrNull(object, "location", usb.location);
    NumberOrNull(object, "latency_timer_ms", p.latencyTimerMs);
    NumberOrNull(object, "position", position);
    object.Strings("links", p.links);
    TextOrNull(object, "selector", port != nullptr ? serial::SelectorOf(p, present) : "");
    return object.Text();
}

// "present: DEVICE (SYSTEM NAME)" and a line for each thing known of it.
void PrintPresent(const PresentPort& port, const std::vector<PresentPort>& present,
                  std::ostream& out) {
    const std::string& name = port.systemName.empty() ? port.driver : port.systemName;
    out << "present: " << port.device << (name.empty() ? "" : " (" + name + ")") << "\n";
    const auto line = [&out](std::string_view key, const std::string& value) {
        if (!value.empty()) {
            out << "  " << key << ": " << value << "\n";
        }
    };
    line("name", port.friendlyName);
    line("driver", port.driver != name ? port.driver : "");
    if (port.usb) {
        const serial::UsbIdentity& usb = *port.usb;
        std::string ids = serial::HexId(usb.vendorId) + ":" + serial::HexId(usb.productId);
        if (usb.interfaceNumber) {
            ids += ", interface " + std::to_string(*usb.interfaceNumber);
        }
        line("usb", ids);
        line("manufacturer", usb.manufacturer);
        line("product", usb.product);
        line("serial number", usb.serialNumber);
        line("location", usb.location);
    }
    line("latency timer", port.latencyTimerMs ? std::to_string(*port.latencyTimerMs) + " ms" : "");
    line("hardware id", port.hardwareId);
    line("instance id", port.instanceId);
    for (const std::string& link : port.links) {
        line("link", link);
    }
    line("selector", serial::SelectorOf(port, present));
}

}  // namespace

int RunPorts(const OptionValues& values, std::ostream& out, std::ostream&) {
    const auto system = serial::CreatePlatformSerialSystem();
    const serial::PortNames names = serial::PortNameTable();
    std::vector<PresentPort> present = system->PresentPorts();
    serial::SortPorts(present);
    const bool json = values.Has("json");
    std::vector<const PresentPort*> positioned;
    for (int index = 0; index < serial::kPortCount; ++index) {
        const std::string& name = names[static_cast<std::size_t>(index)];
        const bool there = system->DeviceExists(name);
        const PresentPort* port = PortOf(name, present);
        positioned.push_back(port);
        if (json) {
            out << JsonLine(name, there, port, index, present) << "\n";
        } else {
            out << std::setw(2) << index << "  " << std::left << std::setw(24) << name << std::right
                << "  " << (there ? "present" : "absent") << "\n";
        }
    }
    for (const PresentPort& port : present) {
        if (!json) {
            PrintPresent(port, present, out);
        } else if (std::find(positioned.begin(), positioned.end(), &port) == positioned.end()) {
            out << JsonLine(port.device, true, &port, std::nullopt, present) << "\n";
        }
    }
    out.flush();
    return kExitOk;
}

}  // namespace glassbench::cli
