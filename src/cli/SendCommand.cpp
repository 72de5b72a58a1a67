// "send": the window's send action from the command line. Opens a port as the window does
// (OpenPort, then DTR and RTS low for a second and high again), then for each repetition builds
// the frame, empties the receive queue, writes the frame and waits for the five-byte reply
// with the window's 100000 tries.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <ostream>
#include <vector>

#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FrameOptions.h"
#include "protocol/CommandFrame.h"
#include "serial/SerialLink.h"

namespace glassbench::cli {

namespace {

constexpr int kExitNoReply = 1;
constexpr int kExitNoPort = 3;
constexpr int kReplyTries = 100000;
constexpr auto kPulse = std::chrono::milliseconds(1000);

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

std::optional<int> SpeedIndexFor(int bitsPerSecond) {
    for (int i = 0; i < serial::kSpeedCount; ++i) {
        if (serial::SpeedAt(i)->bitsPerSecond == bitsPerSecond) {
            return i;
        }
    }
    return std::nullopt;
}

long long Percentile(std::vector<long long> values, int percent) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    // Nearest rank: the smallest value with at least `percent` % of the values at or below.
    const std::size_t rank = (values.size() * static_cast<std::size_t>(percent) + 99) / 100;
    return values[std::max<std::size_t>(rank, 1) - 1];
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
        const auto index = bps ? SpeedIndexFor(*bps) : std::nullopt;
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
        err << "Could not open port " << link.PortName(portIndex) << ".\n" << reason.message();
        if (reason == std::errc::permission_denied) {
            err << ". Serial devices belong to the 'dialout' group: add yourself with "
                   "'sudo usermod -aG dialout $USER' and log in again";
        }
        err << ".\n";
        return kExitNoPort;
    }
    if (!parsed->Has("no-pulse")) {
        link.SetModemLines(false, false);
        serial::WaitUntil(serial::Clock::now() + kPulse);
        link.SetModemLines(true, true);
    }

    std::vector<long long> exchangeUs;
    int replies = 0;
    const std::clock_t cpuStart = std::clock();
    for (int i = 0; i < repeat; ++i) {
        protocol::CommandFrame frame{};
        protocol::DataStore store{};
        const auto built = protocol::BuildCommandFrame(*fields, frame, store);
        // A late or extra byte from the exchange before must not become this reply's first.
        link.DiscardInput();
        const auto start = serial::Clock::now();
        link.SendBytes(frame.data(), built.frameLength);
        const int shown = protocol::TranscriptBytes(frame, built.frameLength, fields->lcdsType);
        out << "sent: " << HexLine(frame.data(), shown) << std::endl;
        std::uint8_t* reply = frame.data() + protocol::kReplyOffset;
        if (link.ReceiveExact(reply, protocol::kReplyLength, kReplyTries) == 1) {
            const auto took = serial::Clock::now() - start;
            exchangeUs.push_back(
                std::chrono::duration_cast<std::chrono::microseconds>(took).count());
            ++replies;
            out << "received: " << HexLine(reply, protocol::kReplyLength) << std::endl;
        } else {
            out << "received: none (" << link.LastReceivedCount() << " of "
                << protocol::kReplyLength << " bytes)" << std::endl;
        }
    }
    const double cpuUs = static_cast<double>(std::clock() - cpuStart) * 1e6 / CLOCKS_PER_SEC;
    if (repeatText != nullptr) {
        out << "exchanges: " << repeat << ", replies: " << replies
            << ", median_us: " << Percentile(exchangeUs, 50)
            << ", p99_us: " << Percentile(exchangeUs, 99)
            << ", cpu_us_per_exchange: " << static_cast<long long>(cpuUs / repeat + 0.5)
            << std::endl;
    }
    return replies == repeat ? kExitOk : kExitNoReply;
}

}  // namespace glassbench::cli
