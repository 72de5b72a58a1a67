// "ports": the thirty positions of the Port list, with the device each opens and whether it
// is there, then every port the system reports present (with its name in the system), so that
// a port beyond the thirty, or the one a newly plugged adapter got, can be found and named in
// --port or GLASSBENCH_PORTS.
#include <algorithm>
#include <iomanip>
#include <ostream>

#include "cli/Commands.h"
#include "serial/SerialLink.h"

namespace glassbench::cli {

int RunPorts(const OptionValues&, std::ostream& out, std::ostream&) {
    const auto system = serial::CreatePlatformSerialSystem();
    const serial::PortNames names = serial::PortNameTable();
    for (int index = 0; index < serial::kPortCount; ++index) {
        const std::string& name = names[static_cast<std::size_t>(index)];
        out << std::setw(2) << index << "  " << std::left << std::setw(24) << name << std::right
            << "  " << (system->DeviceExists(name) ? "present" : "absent") << "\n";
    }
    // Shorter names first, so that COM9 comes before COM10 and ttyUSB9 before ttyUSB10.
    auto present = serial::PresentPorts();
    std::sort(present.begin(), present.end(), [](const auto& a, const auto& b) {
        return std::pair(a.device.size(), a.device) < std::pair(b.device.size(), b.device);
    });
    for (const serial::PresentPort& port : present) {
        out << "present: " << port.device << " (" << port.systemName << ")\n";
    }
    return kExitOk;
}

}  // namespace glassbench::cli
