#include "serial/Win32DeviceIds.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace glassbench::serial {

namespace {

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

// The hex number after `key` ("VID_") in `text`, up to the next non-hex character.
std::optional<unsigned> HexAfter(std::string_view text, std::string_view key) {
    for (std::size_t at = 0; at + key.size() <= text.size(); ++at) {
        if (!SameText(text.substr(at, key.size()), key)) {
            continue;
        }
        const char* begin = text.data() + at + key.size();
        unsigned value = 0;
        const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value, 16);
        if (error == std::errc() && end != begin) {
            return value;
        }
    }
    return std::nullopt;
}

struct IdParts {
    std::string_view enumerator, device, instance;
};

// ENUMERATOR\DEVICE\INSTANCE.
IdParts Split(std::string_view id) {
    const auto first = id.find('\\');
    const auto second = first == std::string_view::npos ? first : id.find('\\', first + 1);
    if (second == std::string_view::npos) {
        return {id, {}, {}};
    }
    return {id.substr(0, first), id.substr(first + 1, second - first - 1), id.substr(second + 1)};
}

bool IsSerialNumber(std::string_view text) {
    return !text.empty() && text.find('&') == std::string_view::npos;
}

}  // namespace

std::optional<UsbFromIds> UsbFromInstanceIds(std::span<const std::string> chain) {
    UsbFromIds found;
    bool haveIds = false;
    std::string ftdiSerial;
    for (std::size_t index = 0; index < chain.size(); ++index) {
        const IdParts id = Split(chain[index]);
        const auto vendor = HexAfter(id.device, "VID_");
        const auto product = HexAfter(id.device, "PID_");
        if (!vendor || !product) {
            continue;
        }
        if (!haveIds) {
            found.usb.vendorId = static_cast<std::uint16_t>(*vendor);
            found.usb.productId = static_cast<std::uint16_t>(*product);
            haveIds = true;
        }
        if (SameText(id.enumerator, "FTDIBUS")) {
            // VID_0403+PID_6001+A10K1ABCA: the serial number, then the channel's letter.
            const auto plus = id.device.rfind('+');
            const std::string_view tail = id.device.substr(plus + 1);
            if (plus != std::string_view::npos && tail.size() > 1 && IsSerialNumber(tail) &&
                tail.back() >= 'A' && tail.back() <= 'H') {
                ftdiSerial = tail.substr(0, tail.size() - 1);
                if (!found.usb.interfaceNumber) {
                    found.usb.interfaceNumber = tail.back() - 'A';
                }
            }
            continue;
        }
        if (!SameText(id.enumerator, "USB")) {
            continue;
        }
        if (const auto number = HexAfter(id.device, "MI_")) {
            if (!found.usb.interfaceNumber) {
                found.usb.interfaceNumber = static_cast<int>(*number);
            }
            continue;  // an interface of a composite device: its device is its parent
        }
        found.deviceNode = index;
        if (IsSerialNumber(id.instance)) {
            found.usb.serialNumber = id.instance;
        }
        break;
    }
    if (!haveIds) {
        return std::nullopt;
    }
    if (found.usb.serialNumber.empty()) {
        found.usb.serialNumber = ftdiSerial;
    }
    return found;
}

}  // namespace glassbench::serial
