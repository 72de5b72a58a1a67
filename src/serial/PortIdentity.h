// What the system tells about each serial port that is there: the name that opens it, its
// driver and, for a USB adapter, what it is (vendor and product ids, maker, product, serial
// number, interface) and where it is plugged in (its location: the bus and the hub ports on the
// way to it). A bench often has several identical adapters on one hub, and the names the system
// hands out (/dev/ttyUSB0, COM7) follow the order they were plugged in, so a port is better
// named by what it is (PortSelector.h).
//
// Linux reads it all from sysfs (PosixPresentPorts.cpp), with udev's /dev/serial links where
// udev made them; Windows from the registry's SERIALCOMM key and SetupAPI
// (Win32PresentPorts.cpp). Everything here is plain data and text, the same on every system.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glassbench::serial {

struct UsbIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string serialNumber;  // empty when the adapter has none
    std::string manufacturer;
    std::string product;
    std::optional<int> interfaceNumber;
    // Where it is plugged in: on Linux the bus and the port path, "1-1.2" (bus 1, port 1 of the
    // root hub, port 2 of the hub there); on Windows the location path Device Manager shows.
    std::string location;

    bool operator==(const UsbIdentity&) const = default;
};

// A serial port the system reports present, whether or not a position of the table names it.
struct PresentPort {
    std::string device;      // the name that opens it, as a table row or --port gives it
    std::string systemName;  // Windows: the port driver's device, \Device\Serial0
    std::string driver;      // Linux: ftdi_sio, cdc_acm, serial; Windows: its service, FTDIBUS
    std::optional<UsbIdentity> usb;
    // The FTDI chip's latency timer: how long it holds a short reply before it sends it on.
    std::optional<int> latencyTimerMs;
    std::vector<std::string> links;  // udev's /dev/serial/by-id and by-path links to it
    // What SetupAPI tells on Windows: "USB Serial Port (COM5)", "FTDIBUS\COMPORT&VID_0403&
    // PID_6001", "FTDIBUS\VID_0403+PID_6001+A10K1ABCA\0000".
    std::string friendlyName;
    std::string hardwareId;
    std::string instanceId;

    bool operator==(const PresentPort&) const = default;
};

// An id as ports and selectors write it: four lower-case hex digits, "0403".
std::string HexId(std::uint16_t id);

// The present port that `name` opens: the one whose device or link it is, or whose device a
// link or Windows' \\.\ prefix leads to; null when none is.
const PresentPort* FindPresentPort(std::string_view name, std::span<const PresentPort> present);

// The selector that names this port by what it is, the same wherever it is plugged in: VID,
// PID and serial number, or VID, PID and location for an adapter without one. Empty when the
// port is no USB adapter or when the selector would match another present port too (the
// interfaces of one multi-port adapter share a serial number).
std::string SelectorOf(const PresentPort& port, std::span<const PresentPort> present);

// What a person recognises the port by, in a few words: the USB product and serial number
// ("FT232R USB UART, serial number A10K1ABC"), else Windows' name for it or the driver
// ("driver serial"); empty when nothing is known.
std::string PortSummary(const PresentPort& port);

// The ports in the order a listing shows them: shorter names first, so that COM9 comes before
// COM10 and ttyUSB9 before ttyUSB10.
void SortPorts(std::vector<PresentPort>& ports);

}  // namespace glassbench::serial
