// "ports": the thirty positions of the Port list, with the device each opens and whether it
// is there.
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
    return kExitOk;
}

}  // namespace glassbench::cli
