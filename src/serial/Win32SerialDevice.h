// One open COM port on Windows (Win32SerialDevice.cpp), which Win32SerialSystem.cpp opens.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

// Takes ownership of `handle`, opened for overlapped use and exclusively; its waits end at a
// request of `stop` too.
std::unique_ptr<SerialDevice> MakeWin32SerialDevice(HANDLE handle, StopToken stop);

}  // namespace glassbench::serial
