// Every glassbench-cli command's options and operands, in one table: what the dispatcher
// parses and reads for a command before it runs it (CommandList.h), what the usage, the man
// page and shell completion show, and what the argument fuzzer drives.
//
// A command takes groups of options. Groups that several commands share (the frame options,
// the port options) are written once; the usage lists each group under its title, and a
// command's synopsis names its required options and then "[TITLE]" for each group. Adding an
// option is one row here and reading its value in the command (OptionValues::Get).
#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "protocol/CommandFrame.h"

namespace glassbench::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;

struct OptionGroup {
    // The usage's heading; a synopsis names the group by the words before any " (", in
    // capitals: "Port options (send, play)" is "[PORT OPTIONS]".
    std::string_view title;
    std::span<const Option> options;
};

inline constexpr std::size_t kAnyNumber = std::numeric_limits<std::size_t>::max();

struct CommandSpec {
    std::string_view name;
    std::string_view summary;  // for the usage, without a full stop
    std::span<const OptionGroup* const> groups;
    std::string_view operands = {};  // as the synopsis shows them: "SCRIPT", "[HEX...]"
    std::size_t minOperands = 0;
    std::size_t maxOperands = 0;
    std::string_view fewOperands = {};  // the reason when fewer are given: "needs a SCRIPT"
};

// The frame options: the window's fields. Their defaults are the window's start-up state.
inline constexpr std::array<Option, 7> kFrameOptions{{
    {"command", ValueKind::Command, "C",
     "list index 0-19, list text (\"Draw Point\") or section (\"DrawPoint\"); Clear Screen if "
     "not given"},
    {"x", ValueKind::Text, "TEXT", "the Xaddress field's text, verbatim; 0 if not given"},
    {"y", ValueKind::Text, "TEXT", "the Yaddress field's text, verbatim; 0 if not given"},
    {"data", ValueKind::Text, "TEXT",
     "the Data field's text: hex pairs, blanks between them optional; 0 if not given"},
    {"transparent", ValueKind::Integer, "I",
     "the Transparent list's index: 0 Yes (the default), 1 No, -1 no selection"},
    {"font-size", ValueKind::Integer, "I",
     "the FontSize list's index: 0-5 for 8x16 (the default) to 32x32, -1 no selection"},
    {"lcd-type", ValueKind::Integer, "I",
     "the LCDs Type list's index: 0 Uart (the default), 1 SPI, 2 I2C, 3 USB"},
}};

inline constexpr Option kPortOption{
    .name = "port",
    .kind = ValueKind::Port,
    .valueName = "DEVICE|INDEX|URL",
    .help =
        "the port: a device, a position of the port list (0-29, see ports), a USB adapter "
        "by what it is, usb:VID:PID, usb:VID:PID:SERIAL or usb:VID:PID@LOCATION (ids in "
        "hex; it must match exactly one port), or a network port: rfc2217://HOST:PORT "
        "(Telnet with the com-port option, as ser2net serves it) or socket://HOST:PORT "
        "(raw TCP)",
    .required = true};
inline constexpr Option kSpeedOption{"speed", ValueKind::Speed, "BAUD",
                                     "1200, 2400, 4800, 9600 (the default), 19200, 57600 or "
                                     "115200 bits a second, 8N1 (ignored on socket://)"};
inline constexpr Option kJsonOption{"json", ValueKind::Flag, "", "one JSON object a line"};
// A pause longer than an hour is surely a typing mistake.
inline constexpr int kMaxPauseMs = 3'600'000;

// A day: longer than any bench waits for an adapter to come back.
inline constexpr int kMaxReconnectSeconds = 86'400;

inline constexpr std::array<Option, 5> kPortOptions{{
    kPortOption,
    kSpeedOption,
    {"no-pulse", ValueKind::Flag, "",
     "leave out the second with both modem lines low that follows the opening"},
    {"interval", ValueKind::Range, "MS",
     "a pause between exchanges, for a module that needs time to draw", 0, kMaxPauseMs,
     "milliseconds"},
    {.name = "reconnect",
     .kind = ValueKind::Range,
     .valueName = "SECONDS",
     .help = "when the port is lost (the adapter pulled, the module power-cycled, the server "
             "gone), wait up to SECONDS (60 if not given) for the same port and go on with the "
             "next frame; without it the run ends there",
     .min = 1,
     .max = kMaxReconnectSeconds,
     .unit = "seconds",
     .optionalValue = "60"},
}};

// Bytes sent as they are, for the frames no frame options build; it excludes every frame option.
inline constexpr Option kRawOption{
    .name = "raw",
    .kind = ValueKind::Bytes,
    .valueName = "HEX",
    .help =
        "send exactly these bytes (1 to 256) instead of a frame built from the frame "
        "options, such as a frame with a bad checksum or an unknown code: two hex digits a "
        "byte, blanks between bytes optional",
    .min = 1,
    .max = protocol::kFrameBufferSize,
    .excludes = "command x y data transparent font-size lcd-type"};

inline constexpr std::array<Option, 2> kSendOptions{{
    {"repeat", ValueKind::Count, "N",
     "send the frame N times and end with the exchange times (median, 99th percentile, CPU)"},
    kRawOption,
}};

inline constexpr std::array<Option, 2> kPlayOptions{{
    {"junit", ValueKind::Path, "FILE", "write a JUnit XML report, one test case a line"},
    {"no-wait", ValueKind::Flag, "",
     "skip the lines' --wait-ms pauses, for a fast run of a recorded script"},
}};

inline constexpr std::array<Option, 3> kScriptLineOptions{{
    kRawOption,
    {"expect", ValueKind::Reply, "HEX", "the five-byte reply the line must get, ?? for any byte"},
    {"wait-ms", ValueKind::Range, "MS", "a pause after the exchange", 0, kMaxPauseMs,
     "milliseconds"},
}};

inline constexpr std::array<Option, 8> kModuleOptions{{
    {"link", ValueKind::Path, "PATH",
     "the link to publish (default $XDG_RUNTIME_DIR/glassbench-module)"},
    {.name = "listen",
     .kind = ValueKind::Listen,
     .valueName = "URL",
     .help = "serve on TCP instead, the only way on Windows: rfc2217://HOST:PORT (an RFC 2217 "
             "access server) or socket://HOST:PORT (raw bytes, wire timing at 9600 baud); HOST "
             "127.0.0.1 unless the module must be reached from elsewhere, PORT 0 for a free "
             "one; one client at a time, a second is refused",
     .excludes = "link"},
    {"reply-delay-ms", ValueKind::Range, "N", "answer N ms after the frame", 0, 600'000},
    {"silent", ValueKind::Flag, "", "never answer"},
    {"reply-length", ValueKind::Range, "N", "answer with N bytes", 0, 255},
    {"wire-timing", ValueKind::Flag, "",
     "take each byte's time on the wire at the speed the tool set"},
    {.name = "faults",
     .kind = ValueKind::Seed,
     .valueName = "SEED",
     .help = "misbehave on purpose, one fault a frame drawn from SEED; the answer's status byte "
             "carries the frame's number instead (from 0, modulo 256)",
     .excludes = "silent reply-length"},
    {.name = "fault-mix",
     .kind = ValueKind::FaultMix,
     .valueName = "LIST",
     .help = "the faults' weights, as NAME:WEIGHT joined by commas; the default is normal:78, "
             "long:5, split:5, late:3, junk:5, silent:2, short:2 (without the blanks), and a "
             "fault not named is never drawn",
     .needs = "faults"},
}};

inline constexpr std::array<Option, 2> kDecodeOptions{{
    kJsonOption,
    {.name = "script",
     .kind = ValueKind::Flag,
     .valueName = "",
     .help = "print the frames as a play script instead: each one as its frame options, or as "
             "--raw where none build it, with its decode in a comment; noise and cut-off frames "
             "as comments only",
     .excludes = "json"},
}};

inline constexpr std::array<Option, 8> kMonitorOptions{{
    kPortOption,
    {"replies", ValueKind::Port, "DEVICE|INDEX|URL",
     "a second line to watch, the module's, named as --port names one: five bytes a reply, "
     "each shown after its frame"},
    kSpeedOption,
    kJsonOption,
    {"count", ValueKind::Count, "N", "end after N frames"},
    {"seconds", ValueKind::Count, "S", "end after S seconds"},
    {"record", ValueKind::Path, "FILE",
     "write a play script as the frames come, flushed line by line: each frame as decode "
     "--script writes it, the reply that followed it as --expect, a pause of 10 ms or more "
     "before the next frame as --wait-ms; noise and cut-off frames as comments only"},
    {"no-reconnect", ValueKind::Flag, "",
     "end when a line is lost (the adapter pulled, its other end gone) instead of waiting "
     "for the same port to come back"},
}};

inline constexpr std::array<Option, 1> kPortsOptions{{
    {"json", ValueKind::Flag, "",
     "one JSON object a line, a position of the port list or another port present: device, "
     "present, driver, vid, pid, serial_number, manufacturer, product, interface, location, "
     "latency_timer_ms, position, links, selector (null where one does not apply)"},
}};

inline constexpr OptionGroup kFrameGroup{"Frame options (frame, send, play script lines)",
                                         kFrameOptions};
inline constexpr OptionGroup kPortGroup{"Port options (send, play)", kPortOptions};
inline constexpr OptionGroup kSendGroup{"Send options", kSendOptions};
inline constexpr OptionGroup kPlayGroup{"Play options", kPlayOptions};
inline constexpr OptionGroup kScriptLineGroup{
    "Play script lines (the frame options and these, quoted as a shell quotes)",
    kScriptLineOptions};
inline constexpr OptionGroup kModuleGroup{"Module options", kModuleOptions};
inline constexpr OptionGroup kDecodeGroup{"Decode options", kDecodeOptions};
inline constexpr OptionGroup kMonitorGroup{"Monitor options", kMonitorOptions};
inline constexpr OptionGroup kPortsGroup{"Ports options", kPortsOptions};

inline constexpr std::array<const OptionGroup*, 1> kFrameGroups{&kFrameGroup};
inline constexpr std::array<const OptionGroup*, 3> kSendGroups{&kPortGroup, &kSendGroup,
                                                               &kFrameGroup};
inline constexpr std::array<const OptionGroup*, 2> kPlayGroups{&kPortGroup, &kPlayGroup};
inline constexpr std::array<const OptionGroup*, 1> kModuleGroups{&kModuleGroup};
inline constexpr std::array<const OptionGroup*, 1> kDecodeGroups{&kDecodeGroup};
inline constexpr std::array<const OptionGroup*, 1> kMonitorGroups{&kMonitorGroup};
inline constexpr std::array<const OptionGroup*, 1> kPortsGroups{&kPortsGroup};
inline constexpr std::array<const OptionGroup*, 2> kScriptLineGroups{&kFrameGroup,
                                                                     &kScriptLineGroup};

// The commands in the order the usage lists them.
inline constexpr std::array<CommandSpec, 8> kCommands{{
    {"frame", "print the frame the window would send, its transcript, Lengh and CheckSum",
     kFrameGroups},
    {"preset",
     "print the values Scom.ini in the current folder gives a command, with the built-in ones "
     "for anything missing",
     {},
     "COMMAND",
     1,
     1,
     "takes exactly one command"},
    {"send",
     "open the port as the window does, send the frame and show it and the module's five-byte "
     "reply",
     kSendGroups},
    {"play", "send a script's frames, one line each, and check their replies", kPlayGroups,
     "SCRIPT", 1, 1, "needs a SCRIPT"},
    {"ports",
     "list the 30 port positions, their devices and whether each is there, then every port "
     "the system reports present with what it is: driver, USB ids, maker, product, serial "
     "number, interface, location, the FTDI latency timer, udev's links, and the selector "
     "that names it",
     kPortsGroups},
    {"module",
     "run the virtual display module on a pseudo-terminal, or on TCP with --listen; it "
     "answers every frame with "
     "AA 04 CMD STATUS CHK (status 0 good, 1 bad checksum, 2 unknown command, 3 bad length)",
     kModuleGroups},
    {"decode",
     "cut hex text (the arguments, else standard input as it comes) into frames and show each "
     "one's fields and problems as soon as it is complete",
     kDecodeGroups, "[HEX...]", 0, kAnyNumber},
    {"monitor",
     "watch a line and never write to it: each frame decoded as it completes, with its time; "
     "ends on Ctrl+C, after --count frames or --seconds, with a summary",
     kMonitorGroups},
}};

// A line of a play script, read as a command line of its own.
inline constexpr CommandSpec kScriptLine{"play script line", "", kScriptLineGroups, "", 0,
                                         kAnyNumber};

// The command of that name, or nullptr.
const CommandSpec* FindCommandSpec(std::string_view name);

// Every option `command` takes, --help not among them.
std::vector<Option> OptionsOf(const CommandSpec& command);

// The operands and every option's value, read and checked against each other: a required
// option missing, an option without the one it needs, two that do not go together. nullopt
// with the reason in `error` on bad usage.
std::optional<OptionValues> ReadCommandLine(const CommandSpec& command, const ParsedArgs& parsed,
                                            std::string& error);

// The fields the frame options give, the rest as the window starts.
protocol::CommandFields FrameFields(const OptionValues& values);

// What one exchange sends: the frame the frame options build, or the bytes --raw gives.
struct OutgoingFrame {
    protocol::CommandFields fields;
    std::vector<std::uint8_t> raw;  // empty: the frame is built from `fields`
};

OutgoingFrame OutgoingFrameOf(const OptionValues& values);

// The bytes it puts on the wire.
std::vector<std::uint8_t> WireBytes(const OutgoingFrame& frame);

// The usage, made from the table: each command with its synopsis and summary, then each
// group of options, one item an option, in lines of at most 79 columns that help2man turns
// into a man page.
const std::string& UsageText();

// Prints "glassbench-cli: <reason>" and the usage to `err`; returns kExitUsage.
int UsageError(std::ostream& err, const std::string& reason);

}  // namespace glassbench::cli
