// What "send" and "play" share about the port: its options, opening it as the window does
// (OpenPort, then both modem lines low for a second and high again unless --no-pulse), one
// exchange with the lines it prints, the pause between exchanges, and a clean stop on a
// signal. "monitor" takes the open failure's message from here too.
//
// A stop request (Ctrl+C, kill, a closed terminal) ends any wait at once (the pulse, a pause,
// a write, a reply wait, a wait for a lost port); the link is then destroyed as on any other
// way out, which gives the device back unlocked and no longer exclusive.
//
// A port that is lost in a run (SerialLink::Lost) ends the run there, or with --reconnect is
// waited for (PortWatch.h: no asking again and again) and opened again as it was opened, the
// same port and never another (PortTarget.h), and the run goes on with the next frame.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "cli/Options.h"
#include "protocol/CommandFrame.h"
#include "serial/Exchange.h"
#include "serial/PortTables.h"
#include "serial/PortWatch.h"
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
    // How long a lost port is waited for; none: the run ends at a loss.
    std::optional<std::chrono::seconds> reconnect;
};

// What the port options give: the device --port names at its row of the port list (a device
// that is no row takes position 0), --speed's row, the pulse unless --no-pulse, --interval,
// --reconnect.
PortSettings ReadPortSettings(const OptionValues& values);

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

// The opened, configured port, or null after printing why it would not open (a selector that
// matches no port or several; "Could not open port NAME." and the system's reason) on `err`.
// Every wait of the port's ends at a request of `stop`.
std::unique_ptr<serial::SerialLink> OpenSessionPort(const PortSettings& settings,
                                                    serial::MessageSink& sink,
                                                    const serial::StopRequest& stop,
                                                    std::ostream& err);

// Whether `name` opens one port: any name but a selector does; a selector must match exactly
// one port present, or this prints why not on `err` ("no port matches ...", with the ports
// present; the several that match) and returns false.
bool NamesOnePort(const std::string& name, std::ostream& err);

// "Could not open port NAME." and the reason, in `detail`'s words where there are any (see
// SerialLink::LastOpenReason), with a hint where it is the dialout group, and for a busy port
// who holds it where that can be found ("port /dev/ttyUSB0 is in use by minicom (pid 1234)").
void PrintOpenFailure(std::string_view device, const std::error_code& reason,
                      std::string_view detail, std::ostream& err);

// The exit status when the port did not open: kExitNoPort, or after a stop request (which
// also ends a connect) the request's own, said on `err`.
int NoPortExit(const serial::StopRequest& stop, std::ostream& err);

// Waits until `reopen` has the port again, asking it once at first and again whenever the
// port's watch says something may have changed: true then, false at `deadline` or a stop
// request. `reopen` may watch a node it found busy (PortWatch::WatchNode).
bool WaitForPort(const std::string& name,
                 const std::function<bool(serial::PortWatch& watch)>& reopen,
                 serial::TimePoint deadline, const serial::StopRequest& stop);

// After the link lost its port: one line on `err`, "port NAME gone (REASON)", and without
// --reconnect that is all (false). With it, "; waiting for WHAT" (the adapter's selector, or
// the name), the wait, and the port opened again as it was opened, the pulse and all: "port
// back as DEVICE after S s" (true); or "port NAME did not come back within N s", or a stop
// request (false).
bool RecoverPort(serial::SerialLink& link, const PortSettings& settings,
                 const serial::StopRequest& stop, std::ostream& err);

// "1.6 s": a wait's length as the lines about a lost port give it.
std::string WaitedText(serial::Clock::duration waited);

// The pause between exchanges; false, at once, when a stop was requested.
bool Pause(const serial::StopRequest& stop, std::chrono::milliseconds pause);

struct PrintedResult {
    serial::ExchangeResult result;
    // From the write to the reply's last byte or the end of the wait, without the printing.
    serial::Clock::duration took{};
};

// Puts the outgoing frame into `frame`, runs the shared exchange and prints what send prints of
// it: "sent: BYTES" (a built frame as the transcript shows it, raw bytes as they are) or "sent:
// none (REASON)", then, for a frame that went out, "received: BYTES" or "received: none (N of 5
// bytes)". The reply stays in `frame`'s reply area.
PrintedResult PrintedExchange(serial::SerialLink& link, const OutgoingFrame& outgoing,
                              protocol::CommandFrame& frame, std::ostream& out);

// Why a frame did not go out, in the words of a line of output.
std::string SendFailure(const std::error_code& error);

}  // namespace glassbench::cli
