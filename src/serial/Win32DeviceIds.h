// What Windows' device instance ids tell of a USB serial port, read without Windows, so that
// it is tested on every platform.
//
// A COM port's device node, and the nodes above it, have instance ids such as
//   FTDIBUS\VID_0403+PID_6001+A10K1ABCA\0000      FTDI's bus driver: the serial number and
//                                                 the chip's channel letter (A, B, ...)
//   USB\VID_2341&PID_0043&MI_00\6&2B9E3C1&0&0000  one interface of a composite device
//   USB\VID_0403&PID_6001\A10K1ABC                the USB device, its serial number last
// A last part that Windows made up for a device without a serial number holds '&'.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "serial/PortIdentity.h"

namespace glassbench::serial {

struct UsbFromIds {
    UsbIdentity usb;  // ids, serial number and interface; the strings and location are not in ids
    // The index in the chain of the USB device's own node, whose location is the adapter's;
    // nullopt when the chain ends before it.
    std::optional<std::size_t> deviceNode;
};

// `chain`: the port's instance id first, then each parent's. nullopt when no id in it is a
// USB one.
std::optional<UsbFromIds> UsbFromInstanceIds(std::span<const std::string> chain);

}  // namespace glassbench::serial
