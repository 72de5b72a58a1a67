// What "send" and "play" share about the port: its options, opening it as the window does
// (OpenPort, then both modem lines low for a second and high again unless --no-pulse), the
// pause between exchanges, and a clean stop on a signal.
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

// SetModemLines' message boxes, as lines on stderr.
class StreamMessageSink : public serial::MessageSink {
  public:
    explicit StreamMessageSink(std::ostream& err) : err_(err) {}
    void ShowMessage(serial::WindowHandle, std::string_view text, std::string_view caption,
                     serial::MessageIcon) override;

  private:
    std::ostream& err_;
};

// The opened, configured port, or null after printing why it would not open ("Could not
// open port NAME." and the system's reason) on `err`.
std::unique_ptr<serial::SerialLink> OpenSessionPort(const PortSettings& settings,
                                                    serial::MessageSink& sink,
                                                    const serial::StopRequest& stop,
                                                    std::ostream& err);

// Why a frame did not go out, in the words of a line of output.
std::string SendFailure(const std::error_code& error);

// The exit status of a run a signal stopped: 128 and the signal's number, as shells report it.
inline int StoppedExitCode(const serial::StopRequest& stop) {
    return 128 + stop.Signal();
}

}  // namespace glassbench::cli
