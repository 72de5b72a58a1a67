// Linux port positions: USB adapters first, since display modules are nearly always attached
// through one, then CDC-ACM devices, then the on-board UARTs (/dev/ttyS0 often opens even with
// nothing behind it, so it must not win the start-up search).
#include <string>

#include "serial/PortTables.h"

namespace glassbench::serial {

PortNames DefaultPortNames() {
    static constexpr const char* kFamilies[] = {"/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyS"};
    PortNames names;
    std::size_t position = 0;
    for (const char* family : kFamilies) {
        for (int n = 0; n < 10; ++n) {
            names[position++] = family + std::to_string(n);
        }
    }
    return names;
}

// As in PATH.
char PlainPathSeparator() {
    return ':';
}

}  // namespace glassbench::serial
