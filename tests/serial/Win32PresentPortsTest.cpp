// The ports Windows reports present, read through SetupAPI (Wine's here): a COM port device
// of the Ports class, registered for the test with its port name, FTDI's latency timer and a
// USB adapter's instance id, is found with all it tells, and removed again.
#include <gtest/gtest.h>
#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <string>

#include "serial/Win32PresentPorts.h"

namespace glassbench::serial {
namespace {

constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A device of the Ports class, registered while it lives.
class RegisteredPort {
  public:
    RegisteredPort(const wchar_t* instanceId, const wchar_t* portName, DWORD latency) {
        set_ = ::SetupDiCreateDeviceInfoList(&kPortsClass, nullptr);
        device_.cbSize = sizeof(device_);
        created_ = set_ != INVALID_HANDLE_VALUE &&
                   ::SetupDiCreateDeviceInfoW(set_, instanceId, &kPortsClass, nullptr, nullptr, 0,
                                              &device_) &&
                   ::SetupDiRegisterDeviceInfo(set_, &device_, 0, nullptr, nullptr, nullptr);
        if (!created_) {
            error_ = ::GetLastError();
            return;
        }
        Text(SPDRP_FRIENDLYNAME, L"USB Serial Port (COM77)");
        Text(SPDRP_SERVICE, L"FTSER2K");
        Text(SPDRP_MFG, L"FTDI");
        const wchar_t hardwareId[] = L"FTDIBUS\\COMPORT&VID_0403&PID_6001\0";
        ::SetupDiSetDeviceRegistryPropertyW(set_, &device_, SPDRP_HARDWAREID,
                                            reinterpret_cast<const BYTE*>(hardwareId),
                                            sizeof(hardwareId));
        const HKEY key = ::SetupDiCreateDevRegKeyW(set_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                                   nullptr, nullptr);
        if (key != INVALID_HANDLE_VALUE) {
            ::RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(portName),
                             static_cast<DWORD>((wcslen(portName) + 1) * sizeof(wchar_t)));
            ::RegSetValueExW(key, L"LatencyTimer", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&latency), sizeof(latency));
            ::RegCloseKey(key);
        }
    }
    ~RegisteredPort() {
        if (created_) {
            ::SetupDiRemoveDevice(set_, &device_);
        }
        if (set_ != INVALID_HANDLE_VALUE) {
            ::SetupDiDestroyDeviceInfoList(set_);
        }
    }
    bool Created() const { return created_; }
    DWORD Error() const { return error_; }

  private:
    void Text(DWORD property, const wchar_t* text) {
        ::SetupDiSetDeviceRegistryPropertyW(set_, &device_, property,
                                            reinterpret_cast<const BYTE*>(text),
                                            static_cast<DWORD>((wcslen(text) + 1) * 2));
    }

    HDEVINFO set_ = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA device_{};
    bool created_ = false;
    DWORD error_ = 0;
};

TEST(Win32PresentPortsTest, APortSetupApiKnowsComesWithWhatItTells) {
    const RegisteredPort port(L"USB\\VID_0403&PID_6001\\A10K1ABC", L"COM77", 1);
    ASSERT_TRUE(port.Created()) << "error " << port.Error();
    const std::vector<PresentPort> ports = Win32PresentPorts();
    const auto found = std::find_if(ports.begin(), ports.end(), [](const PresentPort& p) {
        return p.device == "\\\\.\\COM77";
    });
    ASSERT_NE(found, ports.end());
    EXPECT_EQ(found->friendlyName, "USB Serial Port (COM77)");
    EXPECT_EQ(found->driver, "FTSER2K");
    EXPECT_EQ(found->hardwareId, "FTDIBUS\\COMPORT&VID_0403&PID_6001");
    EXPECT_EQ(found->instanceId, "USB\\VID_0403&PID_6001\\A10K1ABC");
    EXPECT_EQ(found->latencyTimerMs, 1);
    ASSERT_TRUE(found->usb.has_value());
    EXPECT_EQ(found->usb->vendorId, 0x0403);
    EXPECT_EQ(found->usb->productId, 0x6001);
    EXPECT_EQ(found->usb->serialNumber, "A10K1ABC");
    EXPECT_EQ(found->usb->manufacturer, "FTDI");
}

}  // namespace
}  // namespace glassbench::serial
