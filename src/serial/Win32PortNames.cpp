// Windows port positions: COM1 to COM30, named as CreateFileA takes them.
#include "serial/Win32PortNames.h"

#include <string>

#include "serial/PortTables.h"

namespace glassbench::serial {

std::string PortDeviceName(std::string_view portName) {
    const bool plain = portName.size() == 4 && portName.substr(0, 3) == "COM" &&
                       portName[3] >= '1' && portName[3] <= '9';
    return plain ? std::string(portName) : "\\\\.\\" + std::string(portName);
}

PortNames DefaultPortNames() {
    PortNames names;
    for (int index = 0; index < kPortCount; ++index) {
        names[static_cast<std::size_t>(index)] = PortDeviceName("COM" + std::to_string(index + 1));
    }
    return names;
}

// A drive letter puts a colon in a path (Z:\tmp\module): ';' alone separates, as in PATH
// on Windows.
char PlainPathSeparator() {
    return ';';
}

}  // namespace glassbench::serial
