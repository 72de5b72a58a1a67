#include "serial/Win32Transfer.h"

namespace glassbench::serial {

std::error_code SystemError(DWORD code) {
    return {static_cast<int>(code), std::system_category()};
}

IoStatus StatusOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        // Wine's word for a device whose Unix side has hung up (EIO): a pseudo-terminal whose
        // other end closed.
        case ERROR_NOT_READY:
        case ERROR_GEN_FAILURE:
        case ERROR_OPERATION_ABORTED:
        case ERROR_INVALID_HANDLE:
            return IoStatus::Gone;
        default:
            return IoStatus::Failed;
    }
}

void CloseSystemHandle(HANDLE handle) {
    ::CloseHandle(handle);
}

Transfer::Transfer() : event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

IoResult Transfer::Start(HANDLE device, bool read, int count) {
    overlapped_ = OVERLAPPED{};
    // The low bit keeps a completion-port packet from being queued: the handle has no port,
    // and Wine would otherwise ask its server to post one for every operation that ends at
    // once.
    overlapped_.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event_.Get()) | 1);
    DWORD moved = 0;
    const auto size = static_cast<DWORD>(count);
    const BOOL done = read ? ::ReadFile(device, buffer.data(), size, &moved, &overlapped_)
                           : ::WriteFile(device, buffer.data(), size, &moved, &overlapped_);
    if (done) {
        return {static_cast<int>(moved), IoStatus::Done};
    }
    error_ = ::GetLastError();
    if (error_ == ERROR_IO_PENDING) {
        inFlight_ = true;
        return {0, IoStatus::WouldBlock};
    }
    return {0, StatusOf(error_)};
}

std::optional<IoResult> Transfer::Ended(HANDLE device, TimePoint deadline, StopToken stop) {
    std::vector<WaitToken> tokens{Token()};
    if (stop) {
        tokens.push_back(*stop);
    }
    if (inFlight_ && deadline > Clock::now()) {
        const std::optional<std::size_t> ready = WaitForAny(tokens, deadline);
        if (!ready || *ready != 0) {
            return std::nullopt;
        }
    }
    return Outcome(device, FALSE);
}

IoResult Transfer::Cancel(HANDLE device) {
    ::CancelIoEx(device, &overlapped_);
    return *Outcome(device, TRUE);
}

std::optional<IoResult> Transfer::Outcome(HANDLE device, BOOL wait) {
    DWORD moved = 0;
    if (::GetOverlappedResult(device, &overlapped_, &moved, wait)) {
        inFlight_ = false;
        return IoResult{static_cast<int>(moved), IoStatus::Done};
    }
    error_ = ::GetLastError();
    if (error_ == ERROR_IO_INCOMPLETE) {
        return std::nullopt;
    }
    inFlight_ = false;
    return IoResult{static_cast<int>(moved), StatusOf(error_)};
}

}  // namespace glassbench::serial
