#include "serial/LineTap.h"

#include <algorithm>

namespace glassbench::serial {

std::unique_ptr<LineTap> LineTap::Open(SerialSystem& system, const std::string& name,
                                       int bitsPerSecond, std::error_code& error) {
    auto device = system.Open(name, error);
    if (!device) {
        return nullptr;
    }
    const auto fail = [&] {
        error = device->LastError() ? device->LastError()
                                    : std::make_error_code(std::errc::invalid_argument);
        return nullptr;
    };
    LineSettings settings;
    if (!device->ReadLineSettings(settings)) {
        return fail();
    }
    settings.bitsPerSecond = bitsPerSecond;
    settings.dataBits = 8;
    settings.parity = false;
    settings.stopBits = 1;
    // Cooked mode would change or swallow 0x0A, 0x0D, 0x03, 0x11 and 0x13, and echo would send
    // what arrives back down the tapped line.
    settings.raw = true;
    settings.keepModemLines = true;
    if (!device->WriteLineSettings(settings) ||
        device->ApplyReadTimeouts() != TimeoutsResult::Done) {
        return fail();
    }
    return std::unique_ptr<LineTap>(new LineTap(std::move(device)));
}

IoResult LineTap::Take(std::uint8_t* buffer, int room) {
    // A vanished device fails the query (Linux answers EIO for a hung-up terminal, Windows
    // fails ClearCommError), so there is no need to read an empty queue to find out.
    const IoResult queued = device_->QueuedInput();
    if (queued.status != IoStatus::Done || queued.count <= 0 || room <= 0) {
        return {0, queued.status};
    }
    const IoResult read = device_->Read(buffer, std::min(queued.count, room));
    if (read.status == IoStatus::WouldBlock) {
        return {0, IoStatus::Done};
    }
    return read;
}

WaitResult LineTap::Wait(TimePoint deadline) {
    return device_->Wait(WaitFor::Input, deadline);
}

}  // namespace glassbench::serial
