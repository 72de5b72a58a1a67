// The Windows side of SerialSystem::PresentPorts (Win32PresentPorts.cpp).
#pragma once

#include <vector>

#include "serial/PortIdentity.h"

namespace glassbench::serial {

// Every COM port in the registry's SERIALCOMM key or known to SetupAPI as present, with what
// SetupAPI tells of each.
std::vector<PresentPort> Win32PresentPorts();

}  // namespace glassbench::serial
