// The serial services on Windows: the communications functions over a COM handle.
//
// The handle is opened for overlapped use, unlike the plain blocking handle a Win32 tool
// would take: the link must wait for bytes against a deadline, and only an overlapped
// WaitCommEvent can be waited for with a time limit. Reads and writes still behave as the
// blocking calls would from the link's side: a read asks only for bytes already queued, so it
// completes at once, and a write is handed to the driver whole.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "serial/SerialSystem.h"
#include "serial/UniqueHandle.h"
#include "serial/Win32Time.h"

namespace glassbench::serial {

namespace {

std::error_code LastSystemError() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

// What a failed read, write or query means: these are what a pulled USB adapter reports.
IoStatus StatusOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_GEN_FAILURE:
        case ERROR_OPERATION_ABORTED:
        case ERROR_INVALID_HANDLE:
            return IoStatus::Gone;
        default:
            return IoStatus::Failed;
    }
}

void CloseEvent(HANDLE handle) {
    ::CloseHandle(handle);
}

// A manual-reset event that overlapped operations signal.
class Event : public UniqueHandle<HANDLE, &CloseEvent> {
  public:
    Event() : UniqueHandle(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
};

class Win32SerialDevice final : public SerialDevice {
  public:
    explicit Win32SerialDevice(HANDLE handle) : handle_(handle) {
        // Wake a waiting link for every byte that arrives.
        ::SetCommMask(handle_, EV_RXCHAR);
    }

    ~Win32SerialDevice() override {
        // Overlapped operations must finish before their OVERLAPPED blocks go away. A pending
        // WaitCommEvent ends when the event mask changes, as Windows documents; Wine 8's
        // CancelIo does not end it, and the wait for it below would never return.
        ::SetCommMask(handle_, 0);
        ::CancelIo(handle_);
        DWORD ignored = 0;
        if (waitPending_) {
            ::GetOverlappedResult(handle_, &waitOverlapped_, &ignored, TRUE);
        }
        if (writePending_) {
            ::GetOverlappedResult(handle_, &writeOverlapped_, &ignored, TRUE);
        }
        ::CloseHandle(handle_);
    }

    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    bool ReadLineSettings(LineSettings& settings) override {
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (!::GetCommState(handle_, &dcb)) {
            return Fail();
        }
        reported_ = dcb;
        haveReported_ = true;
        settings.bitsPerSecond = static_cast<int>(dcb.BaudRate);
        settings.dataBits = dcb.ByteSize;
        settings.parity = dcb.Parity != NOPARITY;
        settings.stopBits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
        settings.raw = dcb.fBinary && !dcb.fOutX && !dcb.fInX && !dcb.fNull && !dcb.fErrorChar;
        settings.hardwareFlow = dcb.fOutxCtsFlow != 0;
        return true;
    }

    bool WriteLineSettings(const LineSettings& settings) override {
        if (!haveReported_) {
            LineSettings ignored;
            if (!ReadLineSettings(ignored)) {
                return false;
            }
        }
        DCB dcb = reported_;
        dcb.BaudRate = static_cast<DWORD>(settings.bitsPerSecond);
        dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
        dcb.Parity = settings.parity ? EVENPARITY : NOPARITY;
        dcb.fParity = settings.parity ? TRUE : FALSE;
        dcb.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
        // DTR and RTS are raised while the port is open; a handshake mode on either line is
        // replaced by "on". A listener keeps both line controls as they were read.
        if (!settings.keepModemLines) {
            dcb.fDtrControl = DTR_CONTROL_ENABLE;
            dcb.fRtsControl = RTS_CONTROL_ENABLE;
        }
        if (settings.raw) {
            // XON/XOFF would swallow 0x11 and 0x13, and the null and error characters would
            // drop or change bytes: every byte value must pass.
            dcb.fBinary = TRUE;
            dcb.fOutX = FALSE;
            dcb.fInX = FALSE;
            dcb.fNull = FALSE;
            dcb.fErrorChar = FALSE;
        }
        dcb.fOutxCtsFlow = settings.hardwareFlow ? TRUE : FALSE;
        if (!::SetCommState(handle_, &dcb)) {
            return Fail();
        }
        reported_ = dcb;
        return true;
    }

    TimeoutsResult ApplyReadTimeouts() override {
        COMMTIMEOUTS block{};
        if (::GetCommTimeouts(handle_, &block) != 1) {
            Fail();
            return TimeoutsResult::ReadFailed;
        }
        // No limit between bytes, 1000 ms per byte asked for, no constant part. A read asks
        // only for bytes already queued, so this is an outer bound that never applies. The
        // write time-outs stay as the driver reported them.
        block.ReadIntervalTimeout = 0;
        block.ReadTotalTimeoutMultiplier = 1000;
        block.ReadTotalTimeoutConstant = 0;
        if (::SetCommTimeouts(handle_, &block) != 1) {
            Fail();
            return TimeoutsResult::WriteFailed;
        }
        return TimeoutsResult::Done;
    }

    ModemResult SetModemLines(bool dtr, bool rts) override {
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (!::GetCommState(handle_, &dcb)) {
            Fail();
            return ModemResult::Failed;
        }
        dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        dcb.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        if (!::SetCommState(handle_, &dcb)) {
            const DWORD error = ::GetLastError();
            error_ = {static_cast<int>(error), std::system_category()};
            // Virtual COM ports without modem lines refuse the control fields.
            return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED
                       ? ModemResult::NoModemLines
                       : ModemResult::Failed;
        }
        return ModemResult::Done;
    }

    IoResult Write(const std::uint8_t* bytes, int count) override {
        if (writePending_ && !FinishWrite(false)) {
            return {0, IoStatus::WouldBlock};
        }
        // The driver works on its own copy while the write is in flight, as it would on a
        // blocking handle; the caller's buffer is free as soon as this returns.
        writeBuffer_.assign(bytes, bytes + count);
        writeOverlapped_ = OVERLAPPED{};
        writeOverlapped_.hEvent = writeEvent_.Get();
        DWORD written = 0;
        if (::WriteFile(handle_, writeBuffer_.data(), static_cast<DWORD>(count), &written,
                        &writeOverlapped_)) {
            return {static_cast<int>(written), IoStatus::Done};
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) {
            writePending_ = true;
            return {count, IoStatus::Done};
        }
        error_ = {static_cast<int>(error), std::system_category()};
        return {0, StatusOf(error)};
    }

    IoResult QueuedInput() override {
        DWORD errors = 0;
        COMSTAT status{};
        // Also clears a pending line error (framing, overrun, parity); those are ignored.
        if (!::ClearCommError(handle_, &errors, &status)) {
            const DWORD error = ::GetLastError();
            error_ = {static_cast<int>(error), std::system_category()};
            return {0, StatusOf(error)};
        }
        return {static_cast<int>(status.cbInQue), IoStatus::Done};
    }

    IoResult Read(std::uint8_t* buffer, int count) override {
        // Only what is queued is read. A read of an empty queue would wait inside the driver
        // for the next bytes, up to the read time-out of a second a byte, and so could take a
        // late reply past the end of its window.
        const IoResult queued = QueuedInput();
        if (queued.status != IoStatus::Done) {
            return queued;
        }
        if (queued.count == 0) {
            return {0, IoStatus::WouldBlock};
        }
        count = std::min(count, queued.count);
        OVERLAPPED overlapped{};
        overlapped.hEvent = readEvent_.Get();
        DWORD got = 0;
        if (!::ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, &overlapped)) {
            DWORD error = ::GetLastError();
            // The bytes asked for are already queued, so the read completes at once; the
            // 1000 ms-per-byte read time-out is only an outer bound.
            if (error != ERROR_IO_PENDING ||
                !::GetOverlappedResult(handle_, &overlapped, &got, TRUE)) {
                error = error == ERROR_IO_PENDING ? ::GetLastError() : error;
                error_ = {static_cast<int>(error), std::system_category()};
                return {0, StatusOf(error)};
            }
        }
        if (got == 0) {
            return {0, IoStatus::WouldBlock};
        }
        return {static_cast<int>(got), IoStatus::Done};
    }

    WaitResult Wait(WaitFor what, TimePoint deadline) override {
        if (what == WaitFor::Output) {
            if (!writePending_) {
                return WaitResult::Ready;
            }
            const DWORD rc = ::WaitForSingleObject(writeEvent_.Get(), MillisecondsUntil(deadline));
            if (rc == WAIT_TIMEOUT) {
                return WaitResult::TimedOut;
            }
            return FinishWrite(true) ? WaitResult::Ready : WaitResult::Gone;
        }
        switch (ArmInputWait()) {
            case Armed::Ready:
                return WaitResult::Ready;
            case Armed::Gone:
                return WaitResult::Gone;
            case Armed::Pending:
                break;
        }
        // A wait that times out stays pending with its OVERLAPPED block and is picked up by
        // the next call, so no arriving byte is missed between two waits.
        const DWORD rc = ::WaitForSingleObject(commEvent_.Get(), MillisecondsUntil(deadline));
        if (rc == WAIT_TIMEOUT) {
            return WaitResult::TimedOut;
        }
        waitPending_ = false;
        DWORD ignored = 0;
        if (rc != WAIT_OBJECT_0 ||
            !::GetOverlappedResult(handle_, &waitOverlapped_, &ignored, FALSE)) {
            error_ = LastSystemError();
            return WaitResult::Gone;
        }
        return WaitResult::Ready;
    }

    std::optional<WaitToken> InputToken() override {
        if (ArmInputWait() != Armed::Pending) {
            return std::nullopt;
        }
        return reinterpret_cast<WaitToken>(commEvent_.Get());
    }

    void DiscardInput() override {
        if (!::PurgeComm(handle_, PURGE_RXCLEAR)) {
            error_ = LastSystemError();
        }
    }

    std::error_code LastError() const override { return error_; }

  private:
    bool Fail() {
        error_ = LastSystemError();
        return false;
    }

    enum class Armed { Ready, Pending, Gone };

    // Input queued already, or a WaitCommEvent pending on commEvent_ for the next byte.
    Armed ArmInputWait() {
        const IoResult queued = QueuedInput();
        if (queued.status != IoStatus::Done) {
            return Armed::Gone;
        }
        if (queued.count > 0) {
            return Armed::Ready;
        }
        if (!waitPending_) {
            waitOverlapped_ = OVERLAPPED{};
            waitOverlapped_.hEvent = commEvent_.Get();
            eventMask_ = 0;
            if (::WaitCommEvent(handle_, &eventMask_, &waitOverlapped_)) {
                return Armed::Ready;
            }
            if (::GetLastError() != ERROR_IO_PENDING) {
                error_ = LastSystemError();
                return Armed::Gone;
            }
            waitPending_ = true;
        }
        return Armed::Pending;
    }

    // Collects the result of the write in flight; false while it is still running (when
    // not told to wait) or when it failed.
    bool FinishWrite(bool wait) {
        DWORD written = 0;
        if (!::GetOverlappedResult(handle_, &writeOverlapped_, &written, wait ? TRUE : FALSE)) {
            if (::GetLastError() == ERROR_IO_INCOMPLETE) {
                return false;
            }
            error_ = LastSystemError();
        }
        writePending_ = false;
        return true;
    }

    HANDLE handle_;
    DCB reported_{};
    bool haveReported_ = false;
    Event readEvent_;
    Event writeEvent_;
    Event commEvent_;
    OVERLAPPED writeOverlapped_{};
    std::vector<std::uint8_t> writeBuffer_;
    bool writePending_ = false;
    OVERLAPPED waitOverlapped_{};
    DWORD eventMask_ = 0;
    bool waitPending_ = false;
    std::error_code error_;
};

class Win32SerialSystem final : public SerialSystem {
  public:
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
                        : std::error_code(static_cast<int>(code), std::system_category());
            return nullptr;
        }
        return std::make_unique<Win32SerialDevice>(handle);
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
};

}  // namespace

std::unique_ptr<SerialSystem> CreateLocalSerialSystem() {
    return std::make_unique<Win32SerialSystem>();
}

std::chrono::nanoseconds ProcessCpuTime() {
    // msvcrt's clock() counts elapsed time, not CPU time; the kernel's own figures are
    // 100 ns units of kernel and user time.
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return std::chrono::nanoseconds{0};
    }
    const auto units = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return std::chrono::nanoseconds{static_cast<long long>((units(kernel) + units(user)) * 100)};
}

}  // namespace glassbench::serial
