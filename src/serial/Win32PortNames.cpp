// Windows port positions: COM1 to COM9 by their plain names; from COM10 on the device
// namespace prefix \\.\ is needed, because CreateFileA knows only COM1-COM9 by bare name.
#include <string>

#include "serial/PortTables.h"

namespace glassbench::serial {

PortNames DefaultPortNames() {
    PortNames names;
    for (int index = 0; index < kPortCount; ++index) {
        const std::string number = std::to_string(index + 1);
        names[static_cast<std::size_t>(index)] = index < 9 ? "COM" + number : "\\\\.\\COM" + number;
    }
    return names;
}

// A drive letter puts a colon in a path (Z:\tmp\module): ';' alone separates, as in PATH
// on Windows.
char PlainPathSeparator() {
    return ';';
}

}  // namespace glassbench::serial
