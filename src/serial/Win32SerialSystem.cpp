// The serial services on Windows: opening a COM port for exclusive, overlapped use (the
// device itself is Win32SerialDevice.cpp), and whether one is present.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

#include "serial/Win32PresentPorts.h"
#include "serial/Win32SerialDevice.h"
#include "serial/Win32Transfer.h"

namespace glassbench::serial {

namespace {

class Win32SerialSystem final : public SerialSystem {
  public:
    explicit Win32SerialSystem(StopToken stop) : stop_(stop) {}

    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        // Share mode 0: no other program may hold the port while this handle is open.
        const HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            // A COM port that another program holds answers "access denied"; say what it
            // means.
            error = code == ERROR_ACCESS_DENIED
                        ? std::make_error_code(std::errc::device_or_resource_busy)
                        : SystemError(code);
            return nullptr;
        }
        return MakeWin32SerialDevice(handle, stop_);
    }

    bool DeviceExists(const std::string& name) override {
        std::string device = name;
        if (device.rfind("\\\\.\\", 0) == 0) {
            device.erase(0, 4);
        }
        char target[512];
        return ::QueryDosDeviceA(device.c_str(), target, sizeof(target)) != 0;
    }

    TimePoint Now() override { return Clock::now(); }

    std::vector<PresentPort> PresentPorts() override { return Win32PresentPorts(); }

  private:
    StopToken stop_;
};

}  // namespace

std::unique_ptr<SerialSystem> CreateLocalSerialSystem(StopToken stop) {
    return std::make_unique<Win32SerialSystem>(stop);
}

}  // namespace glassbench::serial
