// Windows' rule for naming a COM port to CreateFileA, for the table's rows and for the ports
// the registry lists. Platform-free, so that it is tested on every platform.
#pragma once

#include <string>
#include <string_view>

namespace glassbench::serial {

// COM1 to COM9 as they are; any other port name (COM10, CNCA0) with the device namespace
// prefix \\.\, since CreateFileA knows only COM1-COM9 (and LPT1-LPT9) by bare name.
std::string PortDeviceName(std::string_view portName);

}  // namespace glassbench::serial
