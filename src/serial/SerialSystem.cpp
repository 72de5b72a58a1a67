// The serial services every program takes: the local system's devices, network ports for
// names written as URLs, and the local device a port selector (usb:VID:PID...) matches among
// the ports present at the moment of each open. One more kind of port is one more branch
// here, and nowhere else.
#include <utility>

#include "serial/NetworkPort.h"
#include "serial/PortSelector.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {

namespace {

class PortSystem final : public SerialSystem {
  public:
    PortSystem(std::unique_ptr<SerialSystem> local, StopToken stop)
        : local_(std::move(local)), stop_(stop) {}

    std::unique_ptr<SerialDevice> Open(const std::string& name, std::error_code& error) override {
        detail_.clear();
        if (IsPortSelector(name)) {
            const ResolvedPort port = Resolve(name);
            if (port.outcome != ResolvedPort::Outcome::Found) {
                error = ErrorOf(port.outcome);
                detail_ = port.problem;
                return nullptr;
            }
            return local_->Open(port.device, error);
        }
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
    // not do. A selector is there when it matches one port.
    bool DeviceExists(const std::string& name) override {
        if (IsPortSelector(name)) {
            return Resolve(name).outcome == ResolvedPort::Outcome::Found;
        }
        return !IsNetworkPortName(name) && local_->DeviceExists(name);
    }

    TimePoint Now() override { return Clock::now(); }

    std::vector<PresentPort> PresentPorts() override { return local_->PresentPorts(); }

    std::string BusyReason(const std::string& name) override {
        if (IsPortSelector(name)) {
            const ResolvedPort port = Resolve(name);
            return port.outcome == ResolvedPort::Outcome::Found ? local_->BusyReason(port.device)
                                                                : std::string();
        }
        return IsNetworkPortName(name) ? std::string() : local_->BusyReason(name);
    }

  private:
    ResolvedPort Resolve(const std::string& name) {
        return ResolvePortName(name, local_->PresentPorts());
    }

    static std::error_code ErrorOf(ResolvedPort::Outcome outcome) {
        switch (outcome) {
            case ResolvedPort::Outcome::NoMatch:
                return SelectorError::NoMatch;
            case ResolvedPort::Outcome::Several:
                return SelectorError::Several;
            default:
                return SelectorError::Bad;
        }
    }

    std::unique_ptr<SerialSystem> local_;
    StopToken stop_;
    std::string detail_;
};

}  // namespace

std::unique_ptr<SerialSystem> CreatePortSystem(std::unique_ptr<SerialSystem> local,
                                               StopToken stop) {
    return std::make_unique<PortSystem>(std::move(local), stop);
}

std::unique_ptr<SerialSystem> CreatePlatformSerialSystem(StopToken stop) {
    return CreatePortSystem(CreateLocalSerialSystem(stop), stop);
}

}  // namespace glassbench::serial
