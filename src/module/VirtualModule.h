// The virtual display module: a stand-in for the real module on a pseudo-terminal.
//
// It opens a pseudo-terminal pair and publishes the terminal side's path as a symbolic link,
// which the tool opens like any serial device. It reads the master side, finds and checks
// frames with the protocol's scanner in its lenient reading (protocol/FrameScanner.h), prints
// one line per frame (ModuleFrames.h) and answers each with five bytes.
//
// Everything runs in one poll loop on a monotonic clock: the master side, a self-pipe for
// SIGINT, SIGTERM and SIGHUP, and a watch on the terminal's closes. With wire timing the module
// acts as if every byte took its ten bit times at the speed the other side set (a pty master
// reports the terminal side's settings): the answer starts only when the frame's last byte would
// have arrived, and leaves byte by byte at the same pace.
//
// The module keeps a descriptor of the terminal side open itself, so the master never reports
// a hang-up while the tool is away and the loop never spins; the tool may close and reopen the
// port at will. A tool that dies holding TIOCEXCL would leave the pty exclusive (its settings
// outlive the tool, since the pty does); when the terminal is closed and nobody holds its lock
// any more, the module clears that mode.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "module/ModuleFaults.h"

namespace glassbench::module {

struct ModuleOptions {
    std::string linkPath;  // empty: DefaultLinkPath()
    int replyDelayMs = 0;
    bool silent = false;
    int replyLength = protocol::kReplyLength;
    bool wireTiming = false;
    std::optional<std::uint64_t> faultSeed;  // faults on: one a frame (ModuleFaults.h)
    FaultMix faultMix = kDefaultFaultMix;
};

// $XDG_RUNTIME_DIR/glassbench-module, or /tmp/glassbench-module-UID without that variable.
std::string DefaultLinkPath();

// Runs until SIGINT, SIGTERM or SIGHUP; removes its link on the way out. Returns 0, or 1 when the
// pseudo-terminal or the link cannot be set up (the reason on `err`).
int RunVirtualModule(const ModuleOptions& options, std::ostream& out, std::ostream& err);

}  // namespace glassbench::module
