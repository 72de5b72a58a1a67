#include "cli/PortSession.h"

#include <algorithm>
#include <ostream>

#include "protocol/HexText.h"
#include "serial/Exchange.h"
#include "serial/NetworkPort.h"

namespace glassbench::cli {

namespace {

// A pause between exchanges longer than this is surely a typing mistake.
constexpr int kMaxIntervalMs = 3'600'000;

}  // namespace

std::optional<int> ReadSpeedOption(const ParsedArgs& args, std::string& error) {
    const auto* speed = args.Value("speed");
    if (speed == nullptr) {
        return serial::kDefaultSpeedIndex;
    }
    const auto bps = ParseInt(*speed);
    const auto index = bps ? serial::SpeedIndexFor(*bps) : std::nullopt;
    if (!index) {
        error =
            "--speed '" + *speed + "' is not one of 1200, 2400, 4800, 9600, 19200, 57600, 115200";
    }
    return index;
}

std::optional<int> ReadPortIndex(const std::string& value, std::string_view option,
                                 std::string& error) {
    const auto index = ParseInt(value);
    if (index && (*index < 0 || *index >= serial::kPortCount)) {
        error = "--" + std::string(option) + " index " + value + " is not 0 to 29";
    }
    // A network port's name is refused here, with its reason, rather than at the open.
    std::string reason;
    if (serial::IsNetworkPortName(value) && !serial::ParseNetworkPortName(value, reason)) {
        error = "--" + std::string(option) + ": " + reason;
    }
    return index;
}

std::optional<PortSettings> ReadPortOptions(const ParsedArgs& args, std::string_view command,
                                            std::string& error) {
    PortSettings settings;
    const std::string* port = args.Value("port");
    if (port == nullptr || port->empty()) {
        error = std::string(command) + " needs --port=DEVICE|INDEX";
        return std::nullopt;
    }
    const auto speedIndex = ReadSpeedOption(args, error);
    if (!speedIndex) {
        return std::nullopt;
    }
    settings.speedIndex = *speedIndex;
    if (const auto* interval = args.Value("interval")) {
        const auto ms = ParseInt(*interval);
        if (!ms || *ms < 0 || *ms > kMaxIntervalMs) {
            error = "--interval '" + *interval + "' is not 0 to " + std::to_string(kMaxIntervalMs) +
                    " milliseconds";
            return std::nullopt;
        }
        settings.interval = std::chrono::milliseconds(*ms);
    }
    settings.pulse = !args.Has("no-pulse");
    // A position of the port list, or a device path.
    settings.names = serial::PortNameTable();
    const auto index = ReadPortIndex(*port, "port", error);
    if (!error.empty()) {
        return std::nullopt;
    }
    if (index) {
        settings.portIndex = *index;
    } else {
        const auto row = std::find(settings.names.begin(), settings.names.end(), *port);
        if (row != settings.names.end()) {
            settings.portIndex = static_cast<int>(row - settings.names.begin());
        } else {
            settings.names[0] = *port;
        }
    }
    return settings;
}

void StreamMessageSink::ShowMessage(serial::WindowHandle, std::string_view text,
                                    std::string_view caption, serial::MessageIcon) {
    err_ << caption << ": " << text << "\n";
}

void PrintOpenFailure(std::string_view device, const std::error_code& reason, std::ostream& err) {
    err << serial::CouldNotOpenPortText(device) << "\n" << reason.message();
    if (reason == std::errc::permission_denied) {
        err << ". Serial devices belong to the 'dialout' group: add yourself with "
               "'sudo usermod -aG dialout $USER' and log in again";
    }
    err << ".\n";
}

std::unique_ptr<serial::SerialLink> OpenSessionPort(const PortSettings& settings,
                                                    serial::MessageSink& sink,
                                                    const serial::StopRequest& stop,
                                                    std::ostream& err) {
    auto link = std::make_unique<serial::SerialLink>(serial::CreatePlatformSerialSystem(),
                                                     settings.names, &sink);
    if (link->OpenPort(settings.portIndex, settings.speedIndex, nullptr) != 0) {
        PrintOpenFailure(link->PortName(settings.portIndex), link->LastOpenError(), err);
        return nullptr;
    }
    if (settings.pulse) {
        serial::PulseModemLines(*link, true, true, [&stop](std::chrono::milliseconds pause) {
            stop.WaitUntil(serial::Clock::now() + pause);
        });
    }
    return link;
}

bool Pause(const serial::StopRequest& stop, std::chrono::milliseconds pause) {
    return stop.WaitUntil(serial::Clock::now() + pause);
}

PrintedResult PrintedExchange(serial::SerialLink& link, const protocol::CommandFields& fields,
                              protocol::CommandFrame& frame, std::ostream& out) {
    protocol::DataStore store{};
    const auto built = protocol::BuildCommandFrame(fields, frame, store);
    const auto start = serial::Clock::now();
    PrintedResult printed;
    serial::ExchangeResult& result = printed.result;
    result = serial::Exchange(
        link, frame, built.frameLength, [&](const serial::ExchangeResult& written) {
            if (!written.Sent()) {
                // A frame that did not go out whole is never shown as sent.
                out << "sent: none (" << SendFailure(written.sendError) << ")" << std::endl;
                return;
            }
            const int shown = protocol::TranscriptBytes(frame, built.frameLength, fields.lcdsType);
            out << "sent: " << protocol::FormatHexLine(frame.data(), shown) << std::endl;
        });
    printed.took = serial::Clock::now() - start;
    if (!result.Sent()) {
        return printed;
    }
    if (result.replied) {
        out << "received: "
            << protocol::FormatHexLine(frame.data() + protocol::kReplyOffset,
                                       protocol::kReplyLength)
            << std::endl;
    } else {
        out << "received: none (" << result.received << " of " << protocol::kReplyLength << " bytes"
            << (result.portFailed ? "; the port failed" : "") << ")" << std::endl;
    }
    return printed;
}

std::string SendFailure(const std::error_code& error) {
    if (error == std::errc::not_connected) {
        return "no port is open";
    }
    if (error == std::errc::timed_out) {
        return "the port took no more bytes in time";
    }
    return error.message();
}

}  // namespace glassbench::cli
