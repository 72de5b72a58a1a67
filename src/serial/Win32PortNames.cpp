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

// As in PATH on Windows, where a drive letter puts a colon in a path (Z:\tmp\module).
char PortNameSeparator() {
    return ';';
}

}  // namespace glassbench::serial
