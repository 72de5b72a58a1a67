// The virtual module on TCP, on every system, through the socket seam.
//
// It listens on exactly the address it was given and serves one client at a time: a second
// connection is accepted and closed at once, as a serial port that one program holds cannot
// be opened by another; the first keeps the module. One wait (WaitForAny) watches the stop
// request, the listening socket and the client, and the client's room to send while answer
// bytes wait for it. The client's connection and the access server it talks to on rfc2217://
// are ServedConnection and AccessServer (AccessServer.h); wire timing follows the line the
// client has set. A client that reads nothing until its answer bytes pile up past their bound
// is dropped, as is one that stops reading the server's Telnet answers.
#include <chrono>
#include <ostream>
#include <utility>
#include <vector>

#include "module/AccessServer.h"
#include "module/ModuleCore.h"
#include "module/ModulePlatform.h"
#include "net/Socket.h"
#include "serial/NetworkPort.h"

namespace glassbench::module {

namespace {

using net::Socket;

// After the system refuses to accept a connection (too many open files, no memory), the
// listener stays readable; it is left alone this long instead of being asked again at once.
constexpr std::chrono::seconds kAcceptBackOff{1};

// The listening socket and the one client, as the line the core is on.
class Server final : public ModuleLine {
  public:
    Server(std::unique_ptr<Socket> listener, net::Framing framing, std::ostream& out)
        : listener_(std::move(listener)), framing_(framing), out_(out) {}

    void Run(ModuleCore& core, const serial::StopRequest& stop) {
        for (;;) {
            core.Tick();
            TimePoint wake = core.NextWake().value_or(Clock::now() + std::chrono::hours(24));
            std::vector<net::WaitToken> tokens{stop.Token()};
            if (Clock::now() >= acceptAgain_) {
                tokens.push_back(listener_->InputToken());
            } else {
                wake = std::min(wake, acceptAgain_);
            }
            // A client that reads nothing fills its socket; what it has not taken goes when
            // the socket has room again.
            std::vector<net::WaitToken> writable;
            if (client_) {
                tokens.push_back(client_->Stream().InputToken());
                if (client_->HasQueued()) {
                    writable.push_back(client_->Stream().OutputToken());
                }
            }
            net::WaitForAny(tokens, wake, writable);
            if (stop.Requested()) {
                return;
            }
            // Every socket is non-blocking: one with nothing for us costs one call.
            ServeClient(core);
            if (Clock::now() >= acceptAgain_) {
                AcceptWaiting(core);
            }
        }
    }

    std::chrono::nanoseconds CharacterTime() override {
        return client_ ? client_->Line().CharacterTime() : ServedLine{}.CharacterTime();
    }

    bool Write(std::span<const std::uint8_t> bytes) override {
        return client_ && client_->Write(bytes);
    }

  private:
    // Hands on what the client has sent; notices when it has gone or is dropped.
    void ServeClient(ModuleCore& core) {
        if (client_ && !client_->Serve(core)) {
            const bool dropped = client_->ReadsNothing();
            client_.reset();
            core.PeerGone();
            out_ << (dropped ? "module: dropped the client: it reads nothing"
                             : "module: client gone")
                 << std::endl;
        }
    }

    void AcceptWaiting(ModuleCore& core) {
        std::error_code error;
        while (auto accepted = listener_->Accept(error)) {
            // A client that closed and connected again at once (a port reopened) has its old
            // connection's end waiting there: it is read first.
            ServeClient(core);
            if (client_) {
                out_ << "module: refused a second client: one at a time" << std::endl;
                continue;
            }
            out_ << "module: client connected" << std::endl;
            client_ = std::make_unique<ServedConnection>(std::move(accepted), framing_, out_);
        }
        if (error) {
            if (error != acceptError_) {
                out_ << "module: cannot accept a connection: " << error.message() << std::endl;
            }
            acceptAgain_ = Clock::now() + kAcceptBackOff;
        }
        acceptError_ = error;
    }

    std::unique_ptr<Socket> listener_;
    net::Framing framing_;
    std::ostream& out_;
    std::unique_ptr<ServedConnection> client_;
    TimePoint acceptAgain_{};
    std::error_code acceptError_;  // said once while it lasts
};

}  // namespace

int ServeOnTcp(const ModuleOptions& options, const serial::StopRequest& stop, std::ostream& out,
               std::ostream& err) {
    const serial::NetworkAddress& address = *options.listen;
    std::error_code error;
    auto listener = Socket::Listen(address.host, address.port, error);
    if (!listener) {
        err << "glassbench-cli module: cannot listen on " << serial::FormatNetworkPortName(address)
            << ": " << error.message() << "\n";
        return 1;
    }
    serial::NetworkAddress bound = address;
    bound.port = listener->LocalPort();
    out << "module: listening on " << serial::FormatNetworkPortName(bound) << std::endl;

    Server server(std::move(listener), serial::FramingOf(address.scheme), out);
    ModuleCore core(options, server, out);
    server.Run(core, stop);
    return 0;
}

}  // namespace glassbench::module
