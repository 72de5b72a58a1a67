// A lost port's watch on Windows: a back-off. Windows tells of a device's arrival to a window
// (WM_DEVICECHANGE), and a command-line program has none; so a COM port is asked again after
// 50 ms, then twice as long each time, up to a second.
#include "serial/NetworkPort.h"
#include "serial/PortWatch.h"

namespace glassbench::serial {

std::unique_ptr<PortWatch> WatchPort(const std::string& name) {
    using namespace std::chrono_literals;
    return IsNetworkPortName(name) ? BackOffWatch(100ms, 2s) : BackOffWatch(50ms, 1s);
}

}  // namespace glassbench::serial
