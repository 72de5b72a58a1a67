// The serial ports Linux reports present. The kernel keeps no list of serial ports that are
// really there (the on-board /dev/ttyS0-3 exist with or without a UART behind them), but udev
// gives every USB serial adapter that is plugged in a link in /dev/serial/by-id, named after
// its maker, model and serial number, which stays the same whichever socket it is in.
#include "serial/PosixPresentPorts.h"

#include <system_error>

namespace glassbench::serial {

std::vector<PresentPort> PresentPortsIn(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::vector<PresentPort> ports;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code broken;
        const fs::path device = fs::canonical(entry->path(), broken);
        if (!broken) {
            ports.push_back({device.string(), entry->path().string()});
        }
    }
    return ports;
}

std::vector<PresentPort> PresentPorts() {
    return PresentPortsIn("/dev/serial/by-id");
}

}  // namespace glassbench::serial
