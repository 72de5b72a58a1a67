// The Port and Speed lists' tables: list position to device name, and to line speed.
//
// On Linux the thirty positions are USB adapters first (/dev/ttyUSB0-9), then CDC-ACM devices
// (/dev/ttyACM0-9), then on-board UARTs (/dev/ttyS0-9): display modules are nearly always
// attached through a USB adapter, and /dev/ttyS0 often opens with nothing behind it. On
// Windows the table is COM1-COM9 and \\.\COM10-\\.\COM30. The list in GLASSBENCH_PORTS takes
// the first positions, for virtual ports, /dev/serial/by-id links and the virtual display
// module; its names are separated by ':' on Linux and by ';' on Windows, where a path holds
// colons. The row's name is what messages show.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace glassbench::serial {

inline constexpr int kPortCount = 30;
inline constexpr int kSpeedCount = 7;
inline constexpr int kDefaultSpeedIndex = 3;  // 9600

struct Speed {
    int bitsPerSecond;
    std::string_view text;
};

// There is no 38400 row: index 4 is 19200 and index 5 is 57600.
inline constexpr std::array<Speed, kSpeedCount> SpeedTable{{
    {1200, "1200"},
    {2400, "2400"},
    {4800, "4800"},
    {9600, "9600"},
    {19200, "19200"},
    {57600, "57600"},
    {115200, "115200"},
}};

using PortNames = std::array<std::string, kPortCount>;

// The platform's own thirty names, before any override.
PortNames DefaultPortNames();

// What separates the names in GLASSBENCH_PORTS: ':' on Linux, ';' on Windows.
char PortNameSeparator();

// The table with the first positions replaced, in order, by the device paths of `overrides`,
// separated by PortNameSeparator() (empty entries are skipped; entries beyond thirty are
// ignored).
PortNames BuildPortNameTable(std::string_view overrides);

// The table this process uses: the default names with GLASSBENCH_PORTS applied.
PortNames PortNameTable();

// The Speed row for an index, or nullptr when the index names no speed.
const Speed* SpeedAt(int index);

// The index of the row with that speed, or nullopt when the table has no such row.
std::optional<int> SpeedIndexFor(int bitsPerSecond);

}  // namespace glassbench::serial
