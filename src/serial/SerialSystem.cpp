// The serial services every program takes: the local system's devices, and network ports for
// names written as URLs. One more kind of port is one more branch here, and nowhere else.
#include <utility>

#include "serial/NetworkPort.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {

namespace {

class PortSystem final : public SerialSystem {
  public:
    explicit PortSystem(std::unique_ptr<SerialSystem> local) : local_(std::move(local)) {}

    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        if (!IsNetworkPortName(name)) {
            return local_->Open(name, error);
        }
        std::string reason;
        const auto address = ParseNetworkPortName(name, reason);
        if (!address) {
            error = std::make_error_code(std::errc::invalid_argument);
            return nullptr;
        }
        return OpenNetworkPort(*address, name, error);
    }

    // Whether a server answers is known only by connecting, which a look at the ports does
    // not do.
    bool DeviceExists(const std::string& name) override {
        return !IsNetworkPortName(name) && local_->DeviceExists(name);
    }

    TimePoint Now() override { return Clock::now(); }

  private:
    std::unique_ptr<SerialSystem> local_;
};

}  // namespace

std::unique_ptr<SerialSystem> CreatePlatformSerialSystem() {
    return std::make_unique<PortSystem>(CreateLocalSerialSystem());
}

}  // namespace glassbench::serial
