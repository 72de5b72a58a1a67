// Port selectors: a USB adapter named by what it is rather than by the name the system gave it,
// wherever a port is named (--port, --replies, GLASSBENCH_PORTS, the window's command line).
//
//   usb:VID:PID           the one adapter with these ids (hex, either case)
//   usb:VID:PID:SERIAL    ... and this serial number
//   usb:VID:PID@LOCATION  ... plugged in there (PortIdentity.h), for adapters without one
//
// A selector is resolved against the ports present each time a port is opened
// (ResolvePortName), so it finds the adapter under whatever name it has now. It must match
// exactly one port: none, or several, is a failure that says so and lists what is there,
// never a guess.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "serial/PortIdentity.h"

namespace glassbench::serial {

struct PortSelector {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string serialNumber;  // empty: any
    std::string location;      // empty: any

    bool operator==(const PortSelector&) const = default;
};

// Whether `name` is written as a selector ("usb:" and more), well formed or not.
bool IsPortSelector(std::string_view name);

// The selector `name` writes, or nullopt with the reason (for "--port ...") when it is none.
std::optional<PortSelector> ParsePortSelector(std::string_view name, std::string& reason);

// The length of the selector `text` begins with, up to the first of `separators` after its
// serial number or location, or 0 if it begins with none; a serial number never begins with
// '/', so a path may follow the colon after the ids. For the lists of GLASSBENCH_PORTS.
std::size_t PortSelectorLength(std::string_view text, std::string_view separators);

bool Matches(const PortSelector& selector, const PresentPort& port);

// What a port name opens now.
struct ResolvedPort {
    enum class Outcome { Found, NoMatch, Several, Bad };
    Outcome outcome = Outcome::Found;
    // Found: the name itself, or the device of the one port a selector matches.
    std::string device;
    // Otherwise why not, in lines for a person: "no port matches usb:0403:6001:A1." and the
    // ports present; "2 ports match usb:0403:6001: ..." with each of them.
    std::string problem;
    // How many present ports a selector matched.
    std::size_t matched = 0;
};

// `name` as it is when it is no selector; for a selector, the one present port it matches.
ResolvedPort ResolvePortName(std::string_view name, std::span<const PresentPort> present);

// What a port name stands for, in lines for a person (the window's tooltip): the name, then
// for a USB adapter what it is ("FT232R USB UART, serial number A10K1ABC"); for a selector the
// device it matches now and what that is, or that it matches none or several.
std::string DescribePort(std::string_view name, std::span<const PresentPort> present);

// The reasons an open of a selector fails, as error codes for the callers that word their own
// messages (the window: "Could not open port usb:0403:6001.").
enum class SelectorError { NoMatch = 1, Several, Bad };
std::error_code make_error_code(SelectorError error);

}  // namespace glassbench::serial

template <>
struct std::is_error_code_enum<glassbench::serial::SelectorError> : std::true_type {};
