// What "send" and "play" share about the port: its options, opening it as the window does
// (OpenPort, then both modem lines low for a second and high again unless --no-pulse), one
// exchange with the lines it prints, the pause between exchanges, and a clean stop on a
// signal. "monitor" takes the speed option and the open failure's message from here too.
//
// A stop request (Ctrl+C, kill, a closed terminal) ends the pulse or a pause at once and the
// run after the exchange in progress, whose reply wait lasts at most a second; the link is
// then destroyed as on any other way out, which gives the device back unlocked and no longer
// exclusive.
#pragma once

#include <array>
#include <chrono>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliArgs.h"
#include "protocol/CommandFrame.h"
#include "serial/Exchange.h"
#include "serial/PortTables.h"
#include "serial/SerialLink.h"
#include "serial/StopRequest.h"

namespace glassbench::cli {

inline constexpr int kExitNoPort = 3;

struct PortSettings {
    serial::PortNames names;
    int portIndex = 0;
    int speedIndex = serial::kDefaultSpeedIndex;
    bool pulse = true;
    std::chrono::milliseconds interval{0};  // between exchanges
};

// --port=DEVICE|INDEX, --speed=BAUD, --no-pulse and --interval=MS; nullopt with the reason in
// `error` on bad usage. A device path that is no row of the table takes position 0.
std::optional<PortSettings> ReadPortOptions(const ParsedArgs& args, std::string_view command,
                                            std::string& error);

// --speed=BAUD as a row of the speed table (the default row without it); nullopt with the
// reason in `error` for a speed the table does not have.
std::optional<int> ReadSpeedOption(const ParsedArgs& args, std::string& error);

// A port option's value as a position of the port list: nullopt for anything that is no
// integer (a device path, a network port), the integer otherwise; the reason in `error` for an
// index outside 0-29 and for a network port name that does not parse.
std::optional<int> ReadPortIndex(const std::string& value, std::string_view option,
                                 std::string& error);

// SetModemLines' message boxes and the port's notices, as lines on stderr.
class StreamMessageSink : public serial::MessageSink {
  public:
    explicit StreamMessageSink(std::ostream& err) : err_(err) {}
    void ShowMessage(serial::WindowHandle, std::string_view text, std::string_view caption,
                     serial::MessageIcon) override;
    void ShowNotice(std::string_view text) override { err_ << text << "\n"; }

  private:
    std::ostream& err_;
};

// The opened, configured port, or null after printing why it would not open ("Could not
// open port NAME." and the system's reason) on `err`.
std::unique_ptr<serial::SerialLink> OpenSessionPort(const PortSettings& settings,
                                                    serial::MessageSink& sink,
                                                    const serial::StopRequest& stop,
                                                    std::ostream& err);

// "Could not open port NAME." and the system's reason, with a hint where it is the dialout
// group.
void PrintOpenFailure(std::string_view device, const std::error_code& reason, std::ostream& err);

// The pause between exchanges; false, at once, when a stop was requested.
bool Pause(const serial::StopRequest& stop, std::chrono::milliseconds pause);

struct PrintedResult {
    serial::ExchangeResult result;
    // From the write to the reply's last byte or the end of the wait, without the printing.
    serial::Clock::duration took{};
};

// Builds the frame for `fields` into `frame`, runs the shared exchange and prints what send
// prints of it: "sent: BYTES" (as the transcript shows them) or "sent: none (REASON)", then,
// for a frame that went out, "received: BYTES" or "received: none (N of 5 bytes)". The reply
// stays in `frame`'s reply area.
PrintedResult PrintedExchange(serial::SerialLink& link, const protocol::CommandFields& fields,
                              protocol::CommandFrame& frame, std::ostream& out);

// Why a frame did not go out, in the words of a line of output.
std::string SendFailure(const std::error_code& error);

// The exit status of a run a signal stopped: 128 and the signal's number, as shells report it.
inline int StoppedExitCode(const serial::StopRequest& stop) {
    return 128 + stop.Signal();
}

}  // namespace glassbench::cli
