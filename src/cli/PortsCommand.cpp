// "ports": the thirty positions of the Port list, with the device each opens and whether it
// is there.
#include <iomanip>
#include <ostream>

#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "serial/SerialLink.h"

namespace glassbench::cli {

int RunPorts(Args args, std::ostream& out, std::ostream& err) {
    const OptionSpec specs[] = {{"help", false}};
    std::string error;
    const auto parsed = ParseArgs(args, specs, error);
    if (!parsed) {
        return UsageError(err, error);
    }
    if (parsed->Has("help")) {
        out << kUsage;
        return kExitOk;
    }
    if (!parsed->positional.empty()) {
        return UsageError(err, "ports takes no argument '" + parsed->positional.front() + "'");
    }
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
