#include "serial/LineTap.h"

namespace glassbench::serial {

std::unique_ptr<LineTap> LineTap::Open(SerialSystem& system, const std::string& name,
                                       int bitsPerSecond, std::error_code& error,
                                       std::string& detail) {
    auto device = system.Open(name, error);
    if (!device) {
        detail = system.LastOpenDetail();
        return nullptr;
    }
    // A listener never drives the line: DTR and RTS stay as the driver has them.
    if (ConfigureLine(*device, bitsPerSecond, true) != 0 ||
        device->ApplyReadTimeouts() != TimeoutsResult::Done) {
        error = device->LastError() ? device->LastError()
                                    : std::make_error_code(std::errc::invalid_argument);
        detail = device->ErrorDetail();
        return nullptr;
    }
    return std::unique_ptr<LineTap>(new LineTap(std::move(device)));
}

}  // namespace glassbench::serial
