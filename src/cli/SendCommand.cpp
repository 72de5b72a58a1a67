// "send": the window's send action from the command line. Opens a port as the window does
// (OpenPort, then DTR and RTS low for a second and high again), then for each repetition builds
// the frame and runs the window's exchange: empty the receive queue, write the frame, wait
// for the five-byte reply with the window's 100000 tries.
#include <algorithm>
#include <chrono>
#include <ostream>
#include <vector>

#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FrameOptions.h"
#include "protocol/CommandFrame.h"
#include "protocol/HexText.h"
#include "serial/Exchange.h"
#include "serial/SerialLink.h"

namespace glassbench::cli {

namespace {

constexpr int kExitNoReply = 1;
constexpr int kExitNoPort = 3;

// SetModemLines' message boxes, as lines on stderr.
class StreamMessageSink : public serial::MessageSink {
  public:
    explicit StreamMessageSink(std::ostream& err) : err_(err) {}
    void ShowMessage(serial::WindowHandle, std::string_view text, std::string_view caption,
                     serial::MessageIcon) override {
        err_ << caption << ": " << text << "\n";
    }

  private:
    std::ostream& err_;
};

// Why a frame did not go out, in the words of a line of output.
std::string SendFailure(const std::error_code& error) {
    if (error == std::errc::not_connected) {
        return "no port is open";
    }
    if (error == std::errc::timed_out) {
        return "the port took no more bytes in time";
    }
    return error.message();
}

}  // namespace

int RunSend(Args args, std::ostream& out, std::ostream& err) {
    int exitCode = kExitOk;
    const auto parsed = ParseCommand("send", args, kSendOptionSpecs, 0, out, err, exitCode);
    if (!parsed) {
        return exitCode;
    }
    const std::string* port = parsed->Value("port");
    if (port == nullptr || port->empty()) {
        return UsageError(err, "send needs --port=DEVICE|INDEX");
    }
    int speedIndex = serial::kDefaultSpeedIndex;
    if (const auto* speed = parsed->Value("speed")) {
        const auto bps = ParseInt(*speed);
        const auto index = bps ? serial::SpeedIndexFor(*bps) : std::nullopt;
        if (!index) {
            return UsageError(err, "--speed '" + *speed +
                                       "' is not one of 1200, 2400, 4800, 9600, 19200, 57600, "
                                       "115200");
        }
        speedIndex = *index;
    }
    int repeat = 1;
    const std::string* repeatText = parsed->Value("repeat");
    if (repeatText != nullptr) {
        const auto value = ParseInt(*repeatText);
        if (!value || *value < 1) {
            return UsageError(err, "--repeat '" + *repeatText + "' is not a count of 1 or more");
        }
        repeat = *value;
    }
    std::string error;
    const auto fields = ReadFrameOptions(*parsed, error);
    if (!fields) {
        return UsageError(err, error);
    }

    // A position of the port list, or a device path: a path that is no row of the table
    // takes position 0 for this run.
    serial::PortNames names = serial::PortNameTable();
    int portIndex = 0;
    if (const auto index = ParseInt(*port)) {
        if (*index < 0 || *index >= serial::kPortCount) {
            return UsageError(err, "--port index " + *port + " is not 0 to 29");
        }
        portIndex = *index;
    } else {
        const auto row = std::find(names.begin(), names.end(), *port);
        if (row != names.end()) {
            portIndex = static_cast<int>(row - names.begin());
        } else {
            names[0] = *port;
        }
    }

    StreamMessageSink sink(err);
    serial::SerialLink link(serial::CreatePlatformSerialSystem(), names, &sink);
    if (link.OpenPort(portIndex, speedIndex, nullptr) != 0) {
        const std::error_code reason = link.LastOpenError();
        err << serial::CouldNotOpenPortText(link.PortName(portIndex)) << "\n" << reason.message();
        if (reason == std::errc::permission_denied) {
            err << ". Serial devices belong to the 'dialout' group: add yourself with "
                   "'sudo usermod -aG dialout $USER' and log in again";
        }
        err << ".\n";
        return kExitNoPort;
    }
    if (!parsed->Has("no-pulse")) {
        serial::PulseModemLines(link, true, true, [](std::chrono::milliseconds pause) {
            serial::WaitUntil(serial::Clock::now() + pause);
        });
    }

    std::vector<long long> exchangeUs;
    int replies = 0;
    const auto cpuStart = serial::ProcessCpuTime();
    for (int i = 0; i < repeat; ++i) {
        protocol::CommandFrame frame{};
        protocol::DataStore store{};
        const auto built = protocol::BuildCommandFrame(*fields, frame, store);
        const auto start = serial::Clock::now();
        const serial::ExchangeResult result =
            serial::Exchange(link, frame, built.frameLength, [&](const serial::ExchangeResult& r) {
                if (!r.Sent()) {
                    // A frame that did not go out whole is never shown as sent.
                    out << "sent: none (" << SendFailure(r.sendError) << ")" << std::endl;
                    return;
                }
                const int shown =
                    protocol::TranscriptBytes(frame, built.frameLength, fields->lcdsType);
                out << "sent: " << protocol::FormatHexLine(frame.data(), shown) << std::endl;
            });
        if (!result.Sent()) {
            continue;
        }
        if (result.replied) {
            const auto took = serial::Clock::now() - start;
            exchangeUs.push_back(
                std::chrono::duration_cast<std::chrono::microseconds>(took).count());
            ++replies;
            out << "received: "
                << protocol::FormatHexLine(frame.data() + protocol::kReplyOffset,
                                           protocol::kReplyLength)
                << std::endl;
        } else {
            out << "received: none (" << result.received << " of " << protocol::kReplyLength
                << " bytes)" << std::endl;
        }
    }
    const auto cpu = serial::ProcessCpuTime() - cpuStart;
    if (repeatText != nullptr) {
        const auto cpuUs = std::chrono::duration_cast<std::chrono::microseconds>(cpu).count();
        out << "exchanges: " << repeat << ", replies: " << replies
            << ", median_us: " << serial::Percentile(exchangeUs, 50)
            << ", p99_us: " << serial::Percentile(exchangeUs, 99)
            << ", cpu_us_per_exchange: " << (cpuUs + repeat / 2) / repeat << std::endl;
    }
    return replies == repeat ? kExitOk : kExitNoReply;
}

}  // namespace glassbench::cli
