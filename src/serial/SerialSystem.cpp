// The serial services every program takes: the local system's devices, and network ports for
// names written as URLs. One more kind of port is one more branch here, and nowhere else.
#include <utility>

#include "serial/NetworkPort.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {

namespace {

class PortSystem final : public SerialSystem {
  public:
    PortSystem(std::unique_ptr<SerialSystem> local, StopToken stop)
        : local_(std::move(local)), stop_(stop) {}

    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        detail_.clear();
        if (!IsNetworkPortName(name)) {
            auto device = local_->Open(name, error);
            detail_ = device ? std::string() : local_->LastOpenDetail();
            return device;
        }
        const auto address = ParseNetworkPortName(name, detail_);
        if (!address) {
            error = std::make_error_code(std::errc::invalid_argument);
            return nullptr;
        }
        return OpenNetworkPort(*address, name, stop_, error, detail_);
    }

    std::string LastOpenDetail() const override { return detail_; }

    // Whether a server answers is known only by connecting, which a look at the ports does
    // not do.
    bool DeviceExists(const std::string& name) override {
        return !IsNetworkPortName(name) && local_->DeviceExists(name);
    }

    TimePoint Now() override { return Clock::now(); }

  private:
    std::unique_ptr<SerialSystem> local_;
    StopToken stop_;
    std::string detail_;
};

}  // namespace

std::unique_ptr<SerialSystem> CreatePlatformSerialSystem(StopToken stop) {
    return std::make_unique<PortSystem>(CreateLocalSerialSystem(stop), stop);
}

}  // namespace glassbench::serial
