// The Port and Speed lists' tables: list position to device name, and to line speed.
//
// On Linux the thirty positions are USB adapters first (/dev/ttyUSB0-9), then CDC-ACM devices
// (/dev/ttyACM0-9), then on-board UARTs (/dev/ttyS0-9): display modules are nearly always
// attached through a USB adapter, and /dev/ttyS0 often opens with nothing behind it. On
// Windows the table is COM1-COM9 and \\.\COM10-\\.\COM30. Names given to the window on its
// command line and then those in GLASSBENCH_PORTS take the first positions, for virtual ports,
// /dev/serial/by-id links, port selectors (usb:VID:PID..., PortSelector.h), network ports and
// the virtual display module. GLASSBENCH_PORTS separates its entries with ';' on every system;
// on Linux a ':' also separates plain paths, as in PATH, but never inside a network port's name
// (rfc2217://HOST:PORT) or between a selector's ids, which are kept whole. On Windows a path
// holds a colon after its drive letter, so ';' alone separates there. The row's name is what
// messages show.
//
// Beside the table, the serial system reports the ports present wherever they are, with what
// each is (PortIdentity.h).
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// What separates plain paths in GLASSBENCH_PORTS besides ';': ':' on Linux, nothing more on
// Windows (';' again).
char PlainPathSeparator();

// The entries of a GLASSBENCH_PORTS text, in order, empty ones left out.
std::vector<std::string> SplitPortList(std::string_view list);

// The table with the first positions replaced, in order, by `named` and then by the entries of
// `overrides` (entries beyond thirty are ignored).
PortNames BuildPortNameTable(std::string_view overrides, std::span<const std::string> named = {});

// The table this process uses: the default names, with `named` (the window's command line)
// and then GLASSBENCH_PORTS in the first positions.
PortNames PortNameTable(std::span<const std::string> named = {});

// The Speed row for an index, or nullptr when the index names no speed.
const Speed* SpeedAt(int index);

// The index of the row with that speed, or nullopt when the table has no such row.
std::optional<int> SpeedIndexFor(int bitsPerSecond);

}  // namespace glassbench::serial
