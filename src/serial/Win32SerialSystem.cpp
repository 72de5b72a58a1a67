// The serial services on Windows: the communications functions over a COM handle.
//
// The handle is opened for overlapped use, so that every wait has a time limit and one wait
// can watch several ports and a stop request at once (WaitForInput). Input is waited for the
// way Windows serial programs do it: a read is handed to the driver and its event waited for,
// with the read time-outs set so that a read returns as soon as bytes are queued. It asks for
// the bytes the caller is about to collect (ExpectInput, which starts it: the rest of a reply),
// or for one byte when the wait is over several ports. What it brings is kept in the device's own
// buffer, which QueuedInput and Read serve first; bytes queued behind it are read with a read of
// exactly their number, which ends at once. A wait that reaches its deadline cancels its read and
// keeps what it brought; a read left in flight by a wait over several ports is taken up by the next
// wait, so nothing arriving in between is missed, and a discard cancels it and drops what it
// brought, so no stale byte comes after a discard.
//
// A write is done when Windows says it completed, with the count it completed. One the driver
// takes as pending (ERROR_IO_PENDING) reports nothing written yet (WouldBlock): the link waits
// for it (Wait for output) until its own deadline, and the next Write with the same bytes
// reports what it completed, or its failure. A write still in flight at that deadline is
// cancelled, and the wait reports the time-out.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "serial/SerialSystem.h"
#include "serial/UniqueHandle.h"
#include "serial/Win32PresentPorts.h"
#include "serial/Win32Time.h"

namespace glassbench::serial {

namespace {

// A read ends after this long with nothing, if no byte has come: only an outer bound, since
// every wait has its own deadline.
constexpr DWORD kReadTimeoutMs = 1000;

std::error_code SystemError(DWORD code) {
    return {static_cast<int>(code), std::system_category()};
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

void CloseSystemHandle(HANDLE handle) {
    ::CloseHandle(handle);
}

using Handle = UniqueHandle<HANDLE, &CloseSystemHandle>;

// One overlapped read or write and the buffer it works on; both stay where they are for as long
// as the driver has them, and a manual-reset event says when it has ended.
class Transfer {
  public:
    Transfer() : event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

    std::vector<std::uint8_t> buffer;

    bool InFlight() const { return inFlight_; }
    WaitToken Token() const { return reinterpret_cast<WaitToken>(event_.Get()); }
    // Why the last start, ending or cancel failed.
    DWORD Error() const { return error_; }

    // Hands the first `count` bytes of `buffer` to ReadFile or WriteFile: Done with the count
    // moved when the driver finished at once, WouldBlock while it is in flight, else the
    // failure.
    IoResult Start(HANDLE device, bool read, int count) {
        overlapped_ = OVERLAPPED{};
        // The low bit keeps a completion-port packet from being queued: the handle has no
        // port, and Wine would otherwise ask its server to post one for every operation that
        // ends at once.
        overlapped_.hEvent =
            reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event_.Get()) | 1);
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

    // How it ended, once it has (waiting until `deadline` at most): Done with the count moved,
    // or the failure with what moved before it. nullopt while it is still in flight.
    std::optional<IoResult> Ended(HANDLE device, TimePoint deadline = {}) {
        const WaitToken token = Token();
        if (inFlight_ && deadline > Clock::now() && !WaitForAny({&token, 1}, deadline)) {
            return std::nullopt;
        }
        return Outcome(device, FALSE);
    }

    // Ends it now: cancelled, and waited for until the driver has let go of block and buffer.
    // What it moved before (or completed as it was cancelled) still counts.
    IoResult Cancel(HANDLE device) {
        ::CancelIoEx(device, &overlapped_);
        return *Outcome(device, TRUE);
    }

  private:
    std::optional<IoResult> Outcome(HANDLE device, BOOL wait) {
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

    Handle event_;
    OVERLAPPED overlapped_{};
    bool inFlight_ = false;
    DWORD error_ = 0;
};

class Win32SerialDevice final : public SerialDevice {
  public:
    explicit Win32SerialDevice(HANDLE handle) : handle_(handle) {}

    ~Win32SerialDevice() override {
        // The driver must let go of every OVERLAPPED block and buffer before they go.
        for (Transfer* transfer : {&read_, &write_}) {
            if (transfer->InFlight()) {
                transfer->Cancel(handle_.Get());
            }
        }
    }

    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    bool ReadLineSettings(LineSettings& settings) override {
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (!::GetCommState(handle_.Get(), &dcb)) {
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
        if (!::SetCommState(handle_.Get(), &dcb)) {
            return Fail();
        }
        reported_ = dcb;
        return true;
    }

    TimeoutsResult ApplyReadTimeouts() override {
        COMMTIMEOUTS block{};
        if (::GetCommTimeouts(handle_.Get(), &block) != 1) {
            Fail();
            return TimeoutsResult::ReadFailed;
        }
        // Windows' own "return at once with what is queued, or with the first bytes to come,
        // or after the constant with nothing". (Wine 8 ignores the multiplier's MAXDWORD and
        // ends such a read only when every byte asked for has come, or when it is cancelled.)
        // The write time-outs stay as the driver reported them.
        block.ReadIntervalTimeout = MAXDWORD;
        block.ReadTotalTimeoutMultiplier = MAXDWORD;
        block.ReadTotalTimeoutConstant = kReadTimeoutMs;
        if (::SetCommTimeouts(handle_.Get(), &block) != 1) {
            Fail();
            return TimeoutsResult::WriteFailed;
        }
        return TimeoutsResult::Done;
    }

    ModemResult SetModemLines(bool dtr, bool rts) override {
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (!::GetCommState(handle_.Get(), &dcb)) {
            Fail();
            return ModemResult::Failed;
        }
        dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        dcb.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        if (!::SetCommState(handle_.Get(), &dcb)) {
            const DWORD error = ::GetLastError();
            error_ = SystemError(error);
            // Virtual COM ports without modem lines refuse the control fields.
            return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED
                       ? ModemResult::NoModemLines
                       : ModemResult::Failed;
        }
        return ModemResult::Done;
    }

    IoResult Write(const std::uint8_t* bytes, int count) override {
        // After a wait for output the caller asks again with the same bytes: the write that
        // was in flight is theirs.
        std::optional<IoResult> ended = std::exchange(writeEnded_, std::nullopt);
        if (!ended && write_.InFlight()) {
            ended = write_.Ended(handle_.Get());
            if (!ended) {
                return {0, IoStatus::WouldBlock};
            }
        }
        if (ended) {
            return Written(*ended, count);
        }
        // The driver works on its own copy, as it would on a blocking handle; the caller's
        // buffer is free as soon as this returns.
        write_.buffer.assign(bytes, bytes + count);
        const IoResult started = write_.Start(handle_.Get(), false, count);
        return started.status == IoStatus::WouldBlock ? started : Written(started, count);
    }

    IoResult QueuedInput() override {
        Settle();
        const int kept = static_cast<int>(kept_.size());
        // What a read brought comes first, and is all the caller needs to know of yet; bytes
        // arriving now go to the read in flight first; after a failure only what was kept is
        // left to take.
        if (kept > 0 || read_.InFlight() || failure_ != IoStatus::Done) {
            return kept > 0 || failure_ == IoStatus::Done ? IoResult{kept, IoStatus::Done}
                                                          : IoResult{0, failure_};
        }
        return DriverQueue();
    }

    IoResult Read(std::uint8_t* buffer, int count) override {
        Settle();
        const int kept = static_cast<int>(kept_.size());
        if (kept < count && !read_.InFlight() && failure_ == IoStatus::Done) {
            // Only what is queued is read, so the read ends at once; a read of more would
            // wait for bytes still to come, past the caller's deadline.
            const IoResult queued = DriverQueue();
            if (queued.status != IoStatus::Done && kept == 0) {
                return queued;
            }
            if (queued.status == IoStatus::Done && queued.count > 0) {
                ReadQueued(std::min(count - kept, queued.count));
            }
        }
        if (kept_.empty() && failure_ != IoStatus::Done) {
            return {0, failure_};
        }
        return Serve(buffer, count);
    }

    WaitResult Wait(WaitFor what, TimePoint deadline) override {
        if (what == WaitFor::Output) {
            return WaitForWrite(deadline);
        }
        const int wanted = std::exchange(expected_, 1);
        for (;;) {
            const std::optional<WaitToken> token = ArmRead(wanted);
            if (!token) {
                return failure_ == IoStatus::Done ? WaitResult::Ready : WaitResult::Gone;
            }
            if (!WaitForAny({&*token, 1}, deadline)) {
                // The read ends with the wait, with what it has brought: Wine 8 keeps the
                // bytes of a read that asked for more until all of them have come.
                CancelRead();
                return !kept_.empty()               ? WaitResult::Ready
                       : failure_ != IoStatus::Done ? WaitResult::Gone
                                                    : WaitResult::TimedOut;
            }
        }
    }

    void ExpectInput(int count) override {
        expected_ = std::max(count, 1);
        // On its way before the caller first looks at the queue, the read finds the reply
        // sooner and spares the look a query of the driver.
        ArmRead(expected_);
    }

    std::optional<WaitToken> InputToken() override { return ArmRead(1); }

    void DiscardInput() override {
        // A byte the read in flight holds, or takes before it is cancelled, is as stale as
        // the queue.
        CancelRead();
        kept_.clear();
        failure_ = IoStatus::Done;
        if (!::PurgeComm(handle_.Get(), PURGE_RXCLEAR)) {
            Fail();
        }
    }

    std::error_code LastError() const override { return error_; }

  private:
    bool Fail() {
        error_ = SystemError(::GetLastError());
        return false;
    }

    // The receive queue's count. Also clears a pending line error (framing, overrun, parity),
    // which is ignored, and with it the halt that fAbortOnError puts on reads.
    IoResult DriverQueue() {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(handle_.Get(), &errors, &status)) {
            const DWORD error = ::GetLastError();
            error_ = SystemError(error);
            return {0, StatusOf(error)};
        }
        return {static_cast<int>(status.cbInQue), IoStatus::Done};
    }

    // A read in flight for up to `count` bytes, and the event that says it has ended; nullopt
    // when there is nothing to wait for: bytes are kept already, the read failed, or it ended
    // at once (with nothing: its time-out; the next call starts another).
    std::optional<WaitToken> ArmRead(int count) {
        Settle();
        if (!kept_.empty() || failure_ != IoStatus::Done) {
            return std::nullopt;
        }
        if (!read_.InFlight()) {
            read_.buffer.resize(static_cast<std::size_t>(count));
            const IoResult started = read_.Start(handle_.Get(), true, count);
            if (started.status != IoStatus::WouldBlock) {
                Keep(started);
                return std::nullopt;
            }
        }
        return read_.Token();
    }

    // Takes in the read in flight if it has ended.
    void Settle() {
        if (read_.InFlight()) {
            if (const std::optional<IoResult> ended = read_.Ended(handle_.Get())) {
                Keep(*ended);
            }
        }
    }

    // Ends the read in flight now, keeping what it brought.
    void CancelRead() {
        if (read_.InFlight()) {
            Keep(read_.Cancel(handle_.Get()));
        }
    }

    // What a read brought, into the device's own buffer; a failure is kept in failure_ until
    // the next discard. A read that was cancelled, or that a line error aborted (a driver with
    // fAbortOnError set), is no failure while the device still answers the queue query, which
    // also clears the error.
    void Keep(const IoResult& got) {
        kept_.insert(kept_.end(), read_.buffer.begin(), read_.buffer.begin() + got.count);
        if (got.status == IoStatus::Done ||
            (read_.Error() == ERROR_OPERATION_ABORTED && DriverQueue().status == IoStatus::Done)) {
            return;
        }
        error_ = SystemError(read_.Error());
        failure_ = got.status;
    }

    // Reads `count` bytes that the driver has queued.
    void ReadQueued(int count) {
        read_.buffer.resize(static_cast<std::size_t>(count));
        const IoResult started = read_.Start(handle_.Get(), true, count);
        if (started.status != IoStatus::WouldBlock) {
            Keep(started);
            return;
        }
        // Queued bytes are there to take; a driver that does not hand them over within the
        // read time-out has stopped answering.
        const auto deadline = Clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
        if (const std::optional<IoResult> ended = read_.Ended(handle_.Get(), deadline)) {
            Keep(*ended);
            return;
        }
        CancelRead();
        if (kept_.empty() && failure_ == IoStatus::Done) {
            error_ = std::make_error_code(std::errc::timed_out);
            failure_ = IoStatus::Failed;
        }
    }

    // Up to `count` bytes from the device's own buffer.
    IoResult Serve(std::uint8_t* buffer, int count) {
        const int n = std::min(count, static_cast<int>(kept_.size()));
        std::copy_n(kept_.begin(), n, buffer);
        kept_.erase(kept_.begin(), kept_.begin() + n);
        return {n, n > 0 ? IoStatus::Done : IoStatus::WouldBlock};
    }

    // What a write that has ended means to the caller of Write, which asked for `count`.
    IoResult Written(const IoResult& ended, int count) {
        if (ended.status != IoStatus::Done) {
            error_ = SystemError(write_.Error());
            return {0, ended.status};
        }
        if (ended.count == 0 && count > 0) {
            // The driver's own write time-outs ended it with nothing taken.
            error_ = std::make_error_code(std::errc::timed_out);
            return {0, IoStatus::Failed};
        }
        return ended;
    }

    WaitResult WaitForWrite(TimePoint deadline) {
        if (!write_.InFlight()) {
            return WaitResult::Ready;
        }
        writeEnded_ = write_.Ended(handle_.Get(), deadline);
        if (writeEnded_) {
            return WaitResult::Ready;
        }
        // The caller gives up on this write: it must not complete later and be taken for the
        // next frame's. One that completed whole as it was cancelled still counts.
        const IoResult cancelled = write_.Cancel(handle_.Get());
        if (cancelled.status == IoStatus::Done &&
            cancelled.count == static_cast<int>(write_.buffer.size())) {
            writeEnded_ = cancelled;
            return WaitResult::Ready;
        }
        return WaitResult::TimedOut;
    }

    Handle handle_;
    DCB reported_{};
    bool haveReported_ = false;
    Transfer read_;
    Transfer write_;
    // How the write in flight ended, when a wait for output saw it end: for the next Write.
    std::optional<IoResult> writeEnded_;
    // Bytes reads brought, ahead of the driver's queue.
    std::vector<std::uint8_t> kept_;
    // How a read failed, until the next discard; Done while none has.
    IoStatus failure_ = IoStatus::Done;
    // The bytes the caller waits for (ExpectInput), for the next wait's read.
    int expected_ = 1;
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
                        : SystemError(code);
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

    std::vector<PresentPort> PresentPorts() override { return Win32PresentPorts(); }
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
