// The Linux side of PresentPorts(), with the folder it reads as a parameter for the tests.
#pragma once

#include <filesystem>
#include <vector>

#include "serial/PortTables.h"

namespace glassbench::serial {

// Each link in `folder` that leads to a device, with the device's own path; broken links
// (an adapter pulled a moment ago) and a missing folder give nothing.
std::vector<PresentPort> PresentPortsIn(const std::filesystem::path& folder);

}  // namespace glassbench::serial
