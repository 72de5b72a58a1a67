// The serial ports Windows reports present. Every port driver (an on-board UART's, a USB
// adapter's, a virtual port's) enters each port it serves in the volatile registry key
// HARDWARE\DEVICEMAP\SERIALCOMM while the port is there, as a value named after the driver's
// device (\Device\Serial0, \Device\VCP0) whose data is the port's name (COM3). Wine fills the
// key when its server starts, from the COM links in the prefix's dosdevices folder (COM1 for
// /dev/ttyS0 and so on) and the ports named under HKLM\Software\Wine\Ports.
//
// What each port is comes from SetupAPI: the devices present of the COM-port interface class
// and of the Ports setup class, each with its PortName in its device key (beside the FTDI
// driver's LatencyTimer, in milliseconds), its friendly name, hardware id, instance id and
// service. The instance ids of the port's node and of the nodes above it (CM_Get_Parent) give
// the USB ids, interface and serial number (Win32DeviceIds.h); the USB device's node gives its
// location path and the product name its device reported.
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "serial/PortIdentity.h"
#include "serial/Win32DeviceIds.h"
#include "serial/Win32PortNames.h"
#include "serial/Win32PresentPorts.h"

namespace glassbench::serial {

namespace {

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct DeviceSetCloser {
    void operator()(HDEVINFO set) const { ::SetupDiDestroyDeviceInfoList(set); }
};
using DeviceSet = std::unique_ptr<std::remove_pointer_t<HDEVINFO>, DeviceSetCloser>;

// GUID_DEVINTERFACE_COMPORT and GUID_DEVCLASS_PORTS, written out: their headers define them
// only with INITGUID, once per program.
constexpr GUID kComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// DEVPKEY_Device_BusReportedDeviceDesc: the product string the USB device itself reports.
constexpr DEVPROPKEY kBusReportedDeviceDesc = {
    {0x540b947e, 0x8b40, 0x45bc, {0xa8, 0xa2, 0x6a, 0x0b, 0x89, 0x4c, 0xbd, 0xa2}}, 4};

// A device's ancestors worth reading: the port, its interface, the USB device, and a hub.
constexpr int kMaxAncestors = 4;
// Registry and property texts longer than this name no port.
constexpr DWORD kMaxText = 1024;

std::string Utf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(size) - 1);
    return utf8;
}

// A text property of the device (the first of a list), or "".
std::string Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[kMaxText + 2] = {};
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(
            set, &device, property, &type, reinterpret_cast<BYTE*>(text), kMaxText * 2, nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ)) {
        return {};
    }
    return Utf8(text);
}

std::string BusReportedDescription(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t text[kMaxText + 2] = {};
    DEVPROPTYPE type = 0;
    if (!::SetupDiGetDevicePropertyW(set, &device, &kBusReportedDeviceDesc, &type,
                                     reinterpret_cast<BYTE*>(text), kMaxText * 2, nullptr, 0) ||
        type != DEVPROP_TYPE_STRING) {
        return {};
    }
    return Utf8(text);
}

std::string InstanceId(DEVINST node) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    return ::CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS ? Utf8(id) : "";
}

// The node's location paths (PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)), the first of them.
std::string LocationPath(DEVINST node) {
    wchar_t text[kMaxText + 2] = {};
    ULONG size = kMaxText * 2;
    ULONG type = 0;
    if (::CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_PATHS, &type, text, &size, 0) !=
        CR_SUCCESS) {
        return {};
    }
    return Utf8(text);
}

// What the device's own key holds: its port name and, from FTDI's driver, its latency timer.
struct DeviceKey {
    std::string portName;
    std::optional<int> latencyTimerMs;
};

DeviceKey ReadDeviceKey(HDEVINFO set, SP_DEVINFO_DATA& device) {
    DeviceKey values;
    const HKEY opened =
        ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (opened == INVALID_HANDLE_VALUE) {
        return values;
    }
    const Key key(opened);
    wchar_t name[64] = {};
    DWORD size = sizeof(name) - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.get(), L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name),
                           &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        values.portName = Utf8(name);
    }
    DWORD latency = 0;
    size = sizeof(latency);
    if (::RegQueryValueExW(key.get(), L"LatencyTimer", nullptr, &type,
                           reinterpret_cast<BYTE*>(&latency), &size) == ERROR_SUCCESS &&
        type == REG_DWORD) {
        values.latencyTimerMs = static_cast<int>(latency);
    }
    return values;
}

// What a port's node and those above it tell of a USB adapter.
void DescribeUsb(PresentPort& port, DEVINST node) {
    std::vector<std::string> chain{port.instanceId};
    std::vector<DEVINST> nodes{node};
    for (int depth = 0; depth < kMaxAncestors; ++depth) {
        DEVINST parent = 0;
        if (::CM_Get_Parent(&parent, nodes.back(), 0) != CR_SUCCESS) {
            break;
        }
        nodes.push_back(parent);
        chain.push_back(InstanceId(parent));
    }
    auto found = UsbFromInstanceIds(chain);
    if (!found) {
        return;
    }
    if (found->deviceNode) {
        found->usb.location = LocationPath(nodes[*found->deviceNode]);
    }
    port.usb = found->usb;
}

// Every COM port SetupAPI knows to be present, by the name that opens it.
std::vector<PresentPort> SetupApiPorts() {
    std::vector<PresentPort> ports;
    const std::pair<const GUID*, DWORD> kinds[] = {
        {&kComPortInterface, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE},
        {&kPortsClass, DIGCF_PRESENT},
    };
    for (const auto& [guid, flags] : kinds) {
        const HDEVINFO opened = ::SetupDiGetClassDevsW(guid, nullptr, nullptr, flags);
        if (opened == INVALID_HANDLE_VALUE) {
            continue;
        }
        const DeviceSet set(opened);
        for (DWORD index = 0;; ++index) {
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof(device);
            if (!::SetupDiEnumDeviceInfo(set.get(), index, &device)) {
                break;
            }
            const DeviceKey key = ReadDeviceKey(set.get(), device);
            // The Ports class holds printer ports (LPT1) too.
            if (key.portName.rfind("COM", 0) != 0) {
                continue;
            }
            PresentPort port;
            port.device = PortDeviceName(key.portName);
            port.instanceId = InstanceId(device.DevInst);
            const bool known = std::any_of(ports.begin(), ports.end(), [&](const PresentPort& p) {
                return p.instanceId == port.instanceId;
            });
            if (known) {
                continue;
            }
            port.latencyTimerMs = key.latencyTimerMs;
            port.friendlyName = Property(set.get(), device, SPDRP_FRIENDLYNAME);
            port.hardwareId = Property(set.get(), device, SPDRP_HARDWAREID);
            port.driver = Property(set.get(), device, SPDRP_SERVICE);
            DescribeUsb(port, device.DevInst);
            if (port.usb) {
                port.usb->manufacturer = Property(set.get(), device, SPDRP_MFG);
                port.usb->product = BusReportedDescription(set.get(), device);
            }
            ports.push_back(std::move(port));
        }
    }
    return ports;
}

// The ports the port drivers have entered in SERIALCOMM, with the driver's device name.
std::vector<PresentPort> SerialCommPorts() {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                        &opened) != ERROR_SUCCESS) {
        return {};  // no port driver has entered a port since the system started
    }
    const Key key(opened);
    std::vector<PresentPort> ports;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof(name);
        char data[256] = {};
        DWORD dataSize = sizeof(data) - 1;  // room for the terminator the data may lack
        DWORD type = 0;
        const LONG result = ::RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        // A value too long for any port name, or not text, names no port.
        if (result != ERROR_SUCCESS || type != REG_SZ || data[0] == '\0') {
            continue;
        }
        PresentPort port;
        port.device = PortDeviceName(data);
        port.systemName = std::string(name, nameLength);
        ports.push_back(std::move(port));
    }
    return ports;
}

}  // namespace

std::vector<PresentPort> Win32PresentPorts() {
    std::vector<PresentPort> ports = SerialCommPorts();
    for (PresentPort& known : SetupApiPorts()) {
        const auto same = std::find_if(ports.begin(), ports.end(), [&](const PresentPort& p) {
            return p.device == known.device;
        });
        if (same == ports.end()) {
            ports.push_back(std::move(known));
        } else {
            known.systemName = same->systemName;
            *same = std::move(known);
        }
    }
    return ports;
}

}  // namespace glassbench::serial
