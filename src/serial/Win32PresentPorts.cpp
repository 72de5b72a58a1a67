// The serial ports Windows reports present: every port driver (an on-board UART's, a USB
// adapter's, a virtual port's) enters each port it serves in the volatile registry key
// HARDWARE\DEVICEMAP\SERIALCOMM while the port is there, as a value named after the driver's
// device (\Device\Serial0, \Device\VCP0) whose data is the port's name (COM3). Wine fills the
// key when its server starts, from the COM links in the prefix's dosdevices folder (COM1 for
// /dev/ttyS0 and so on) and the ports named under HKLM\Software\Wine\Ports.
#include <windows.h>

#include <memory>
#include <type_traits>

#include "serial/PortTables.h"
#include "serial/Win32PortNames.h"

namespace glassbench::serial {

namespace {

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

}  // namespace

std::vector<PresentPort> PresentPorts() {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                        &opened) != ERROR_SUCCESS) {
        return {};  // no port driver has entered a port since the system started
    }
    const Key key(opened);
    std::vector<PresentPort> ports;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof(name);
        char data[256] = {};
        DWORD dataSize = sizeof(data) - 1;  // room for the terminator the data may lack
        DWORD type = 0;
        const LONG result = ::RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        // A value too long for any port name, or not text, names no port.
        if (result != ERROR_SUCCESS || type != REG_SZ || data[0] == '\0') {
            continue;
        }
        ports.push_back({PortDeviceName(data), std::string(name, nameLength)});
    }
    return ports;
}

}  // namespace glassbench::serial
