#include "cli/PortSession.h"

#include <algorithm>
#include <ostream>

#include "protocol/HexText.h"
#include "serial/Exchange.h"
#include "serial/PortSelector.h"

namespace glassbench::cli {

PortSettings ReadPortSettings(const OptionValues& values) {
    PortSettings settings;
    settings.names = serial::PortNameTable();
    const std::string& device = *values.Find<std::string>("port");
    const auto row = std::find(settings.names.begin(), settings.names.end(), device);
    if (row != settings.names.end()) {
        settings.portIndex = static_cast<int>(row - settings.names.begin());
    } else {
        settings.names[0] = device;
    }
    settings.speedIndex = values.Get("speed", serial::kDefaultSpeedIndex);
    settings.pulse = !values.Has("no-pulse");
    settings.interval = std::chrono::milliseconds(values.Get("interval", 0));
    if (const int* seconds = values.Find<int>("reconnect")) {
        settings.reconnect = std::chrono::seconds(*seconds);
    }
    return settings;
}

void StreamMessageSink::ShowMessage(serial::WindowHandle, std::string_view text,
                                    std::string_view caption, serial::MessageIcon) {
    err_ << caption << ": " << text << "\n";
}

bool NamesOnePort(const std::string& name, std::ostream& err) {
    if (!serial::IsPortSelector(name)) {
        return true;
    }
    const serial::ResolvedPort port =
        serial::ResolvePortName(name, serial::CreatePlatformSerialSystem()->PresentPorts());
    if (port.outcome == serial::ResolvedPort::Outcome::Found) {
        return true;
    }
    err << port.problem << "\n";
    return false;
}

void PrintOpenFailure(std::string_view device, const std::error_code& reason,
                      std::string_view detail, std::ostream& err) {
    std::string text = serial::ReasonText(reason, detail);
    // A sentence of its own, as the system's messages are.
    if (!text.empty() && text.front() >= 'a' && text.front() <= 'z') {
        text.front() = static_cast<char>(text.front() - 'a' + 'A');
    }
    err << serial::CouldNotOpenPortText(device) << "\n" << text;
    if (reason == std::errc::permission_denied) {
        err << ". Serial devices belong to the 'dialout' group: add yourself with "
               "'sudo usermod -aG dialout $USER' and log in again";
    } else if (reason == std::errc::device_or_resource_busy) {
        const std::string holder =
            serial::CreatePlatformSerialSystem()->BusyReason(std::string(device));
        if (!holder.empty()) {
            err << ": port " << device << " is " << holder;
        }
    }
    err << ".\n";
}

std::unique_ptr<serial::SerialLink> OpenSessionPort(const PortSettings& settings,
                                                    serial::MessageSink& sink,
                                                    const serial::StopRequest& stop,
                                                    std::ostream& err) {
    if (!NamesOnePort(settings.names[static_cast<std::size_t>(settings.portIndex)], err)) {
        return nullptr;
    }
    auto link = std::make_unique<serial::SerialLink>(
        serial::CreatePlatformSerialSystem(stop.Token()), settings.names, &sink);
    if (link->OpenPort(settings.portIndex, settings.speedIndex, nullptr) != 0) {
        if (!stop.Requested()) {
            PrintOpenFailure(link->PortName(settings.portIndex), link->LastOpenError(),
                             link->LastOpenReason(), err);
        }
        return nullptr;
    }
    if (settings.pulse) {
        serial::PulseModemLines(*link, true, true, [&stop](std::chrono::milliseconds pause) {
            stop.WaitUntil(serial::Clock::now() + pause);
        });
    }
    return link;
}

int NoPortExit(const serial::StopRequest& stop, std::ostream& err) {
    if (!stop.Requested()) {
        return kExitNoPort;
    }
    err << "glassbench-cli: stopped by signal " << stop.Signal() << "\n";
    return stop.ExitCode();
}

std::string WaitedText(serial::Clock::duration waited) {
    const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(waited).count() / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

bool WaitForPort(const std::string& name,
                 const std::function<bool(serial::PortWatch& watch)>& reopen,
                 serial::TimePoint deadline, const serial::StopRequest& stop) {
    const auto watch = serial::WatchPort(name);
    for (;;) {
        if (stop.Requested()) {
            return false;
        }
        if (reopen(*watch)) {
            return true;
        }
        if (watch->Wait(deadline, stop.Token()) != serial::WaitResult::Ready) {
            return false;
        }
    }
}

bool RecoverPort(serial::SerialLink& link, const PortSettings& settings,
                 const serial::StopRequest& stop, std::ostream& err) {
    const std::string name = link.PortName(link.OpenedPortIndex());
    err << "port " << name << " gone (" << link.LostReason() << ")";
    if (!settings.reconnect) {
        err << std::endl;
        return false;
    }
    err << "; waiting for " << link.AwaitedPort() << std::endl;
    const auto lost = serial::Clock::now();
    const bool back = WaitForPort(
        name,
        [&](serial::PortWatch& watch) {
            if (link.Reopen() == 0) {
                return true;
            }
            watch.OpenFailed(link.PortName(link.OpenedPortIndex()), link.LastOpenError());
            return false;
        },
        lost + *settings.reconnect, stop);
    if (!back) {
        if (!stop.Requested()) {
            err << "port " << name << " did not come back within " << settings.reconnect->count()
                << " s" << std::endl;
        }
        return false;
    }
    err << "port back as " << link.OpenedDevice() << " after "
        << WaitedText(serial::Clock::now() - lost) << std::endl;
    if (settings.pulse) {
        serial::PulseModemLines(link, true, true, [&stop](std::chrono::milliseconds pause) {
            stop.WaitUntil(serial::Clock::now() + pause);
        });
    }
    return !stop.Requested();
}

bool Pause(const serial::StopRequest& stop, std::chrono::milliseconds pause) {
    return stop.WaitUntil(serial::Clock::now() + pause);
}

PrintedResult PrintedExchange(serial::SerialLink& link, const OutgoingFrame& outgoing,
                              protocol::CommandFrame& frame, std::ostream& out) {
    const std::vector<std::uint8_t> bytes = WireBytes(outgoing);
    std::copy(bytes.begin(), bytes.end(), frame.begin());
    const auto length = static_cast<int>(bytes.size());
    const auto start = serial::Clock::now();
    PrintedResult printed;
    serial::ExchangeResult& result = printed.result;
    result = serial::Exchange(link, frame, length, [&](const serial::ExchangeResult& written) {
        if (!written.Sent()) {
            // A frame that did not go out whole is never shown as sent.
            out << "sent: none (" << SendFailure(written.sendError) << ")" << std::endl;
            return;
        }
        const int shown = outgoing.raw.empty()
                              ? protocol::TranscriptBytes(frame, length, outgoing.fields.lcdsType)
                              : length;
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
        out << "received: none (" << result.received << " of " << protocol::kReplyLength
            << " bytes";
        if (result.portFailed) {
            out << "; " << (result.failure.empty() ? "the port failed" : result.failure);
        }
        out << (result.stopped ? "; stopped" : "") << ")" << std::endl;
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
    if (error == std::errc::operation_canceled) {
        return "stopped";
    }
    return error.message();
}

}  // namespace glassbench::cli
