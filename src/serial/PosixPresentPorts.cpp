// The serial ports Linux reports present, read from sysfs alone: no udev or libudev, so that a
// minimal system (a QEMU guest with a busybox initramfs) gives the same answers.
//
// The kernel lists every tty it registers in /sys/class/tty. Those with hardware behind them
// have a `device` link to the device that serves them: the usb-serial port for ttyUSBn (under
// its USB interface), the CDC-ACM interface itself for ttyACMn, the UART's PnP or platform
// device for ttySn (from kernel 6.5 on, through a "port" and a "ctrl" device of the serial-base
// bus). Virtual terminals, the console and ptmx have none; pseudo-terminals are not listed at
// all. Going up from the device, the first folder with bInterfaceNumber is the USB interface and
// the first with idVendor the USB device, which holds the ids and the strings and is named
// after its location ("1-1.2"). ftdi_sio puts latency_timer in the port's own folder. udev's
// /dev/serial/by-id and by-path links, where udev made them, are matched by where they lead.
#include "serial/PosixPresentPorts.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <system_error>

namespace glassbench::serial {

namespace {

namespace fs = std::filesystem;

// sysfs attributes hold at most a page; anything longer is no attribute.
constexpr std::size_t kMaxAttribute = 4096;
// A device sits a few levels below its bus; more than this is a loop or no sysfs.
constexpr int kMaxDepth = 32;

// An attribute's text without its trailing newline; empty when it is missing.
std::string ReadAttribute(const fs::path& file) {
    std::string text = ReadFileStart(file, kMaxAttribute);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    return text;
}

std::optional<int> ReadNumber(const fs::path& file, int base) {
    const std::string text = ReadAttribute(file);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The last part of where a link leads: a driver's or a bus's name.
std::string LinkName(const fs::path& link) {
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    return error ? std::string() : target.filename().string();
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// The device a tty leads to: a tty's name holds '!' where its node's path holds '/'.
fs::path DeviceNode(std::string name, const PosixPaths& paths) {
    std::replace(name.begin(), name.end(), '!', '/');
    return paths.dev / name;
}

// The driver that serves the port. From kernel 6.5 on, a UART's tty hangs off a "port" device
// of the serial-base bus, under a "ctrl" device, under the UART's own device: the driver
// worth naming is the UART's.
std::string DriverOf(fs::path dir) {
    for (int depth = 0; depth < 4 && dir.has_relative_path(); ++depth, dir = dir.parent_path()) {
        if (LinkName(dir / "subsystem") != "serial-base") {
            return LinkName(dir / "driver");
        }
    }
    return {};
}

// The USB device above `dir`, with the interface on the way to it; nullopt for a port that is
// not on USB.
std::optional<UsbIdentity> UsbAbove(fs::path dir, const fs::path& top) {
    std::optional<int> interfaceNumber;
    for (int depth = 0; depth < kMaxDepth && dir != top && dir.has_relative_path();
         ++depth, dir = dir.parent_path()) {
        if (!interfaceNumber && Exists(dir / "bInterfaceNumber")) {
            interfaceNumber = ReadNumber(dir / "bInterfaceNumber", 16);
        }
        if (!Exists(dir / "idVendor")) {
            continue;
        }
        const auto vendor = ReadNumber(dir / "idVendor", 16);
        const auto product = ReadNumber(dir / "idProduct", 16);
        if (!vendor || !product) {
            return std::nullopt;
        }
        UsbIdentity usb;
        usb.vendorId = static_cast<std::uint16_t>(*vendor);
        usb.productId = static_cast<std::uint16_t>(*product);
        usb.serialNumber = ReadAttribute(dir / "serial");
        usb.manufacturer = ReadAttribute(dir / "manufacturer");
        usb.product = ReadAttribute(dir / "product");
        usb.interfaceNumber = interfaceNumber;
        usb.location = dir.filename().string();
        return usb;
    }
    return std::nullopt;
}

// Where a path leads, followed as far as it goes.
std::string Resolved(const fs::path& path) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path.lexically_normal().string() : resolved.string();
}

// udev's links in /dev/serial, by the device each leads to, in name order within each folder.
std::multimap<std::string, std::string> SerialLinks(const PosixPaths& paths) {
    std::multimap<std::string, std::string> links;
    for (const char* kind : {"by-id", "by-path"}) {
        std::vector<fs::path> names;
        std::error_code error;
        for (fs::directory_iterator entry(paths.dev / "serial" / kind, error), end;
             !error && entry != end; entry.increment(error)) {
            names.push_back(entry->path());
        }
        std::sort(names.begin(), names.end());
        for (const fs::path& link : names) {
            links.emplace(Resolved(link), link.string());
        }
    }
    return links;
}

}  // namespace

std::vector<PresentPort> PresentPortsIn(const PosixPaths& paths) {
    std::vector<PresentPort> ports;
    std::error_code error;
    const fs::path top = fs::weakly_canonical(paths.sys, error);
    const auto links = SerialLinks(paths);
    for (fs::directory_iterator entry(paths.sys / "class" / "tty", error), end;
         !error && entry != end; entry.increment(error)) {
        const fs::path tty = entry->path();
        std::error_code broken;
        const fs::path device = fs::canonical(tty / "device", broken);
        if (broken || ReadAttribute(tty / "type") == "0") {
            continue;  // nothing behind it: a virtual terminal, or a UART position without one
        }
        PresentPort port;
        port.device = DeviceNode(tty.filename().string(), paths).string();
        port.driver = DriverOf(device);
        port.usb = UsbAbove(device, top);
        if (Exists(device / "latency_timer")) {
            port.latencyTimerMs = ReadNumber(device / "latency_timer", 10);
        }
        const auto [first, last] = links.equal_range(Resolved(port.device));
        for (auto link = first; link != last; ++link) {
            port.links.push_back(link->second);
        }
        ports.push_back(std::move(port));
    }
    return ports;
}

bool HasNoHardware(const std::string& device, const PosixPaths& paths) {
    const fs::path node = Resolved(device);
    const fs::path relative = node.lexically_relative(Resolved(paths.dev));
    if (relative.empty() || *relative.begin() == "..") {
        return false;
    }
    std::string name = relative.string();
    std::replace(name.begin(), name.end(), '/', '!');
    return ReadAttribute(paths.sys / "class" / "tty" / name / "type") == "0";
}

}  // namespace glassbench::serial
