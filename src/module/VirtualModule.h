// The virtual display module: a stand-in for the real module, on a pseudo-terminal or on TCP.
//
// On a pseudo-terminal (POSIX systems) it publishes the terminal side's path as a symbolic
// link, which the tool opens like any serial device (ModuleOnPty.cpp). On TCP (every system,
// the only way on Windows) it listens on the address it is given and serves one client at a
// time, as raw bytes (socket://) or as an RFC 2217 access server (rfc2217://) that takes the
// line settings and modem lines the client asks for (ModuleOnTcp.cpp). Either way ModuleCore.h
// finds and checks the frames with the protocol's scanner in its lenient reading
// (protocol/FrameScanner.h), prints one line for each (ModuleFrames.h) and answers it, with the
// line's own pace on the wire when asked for.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "module/ModuleFaults.h"
#include "serial/NetworkPort.h"

namespace glassbench::module {

struct ModuleOptions {
    std::string linkPath;  // empty: $XDG_RUNTIME_DIR/glassbench-module (or /tmp/...-UID)
    std::optional<serial::NetworkAddress> listen;  // on TCP instead of a pseudo-terminal
    int replyDelayMs = 0;
    bool silent = false;
    int replyLength = protocol::kReplyLength;
    bool wireTiming = false;
    std::optional<std::uint64_t> faultSeed;  // faults on: one a frame (ModuleFaults.h)
    FaultMix faultMix = kDefaultFaultMix;
};

// Whether this system has pseudo-terminals for the module; without them it runs on TCP only.
bool HasPseudoTerminals();

// Runs until SIGINT, SIGTERM or SIGHUP (Ctrl+C or a closed console on Windows); removes its
// link on the way out. Returns 0, or 1 when the pseudo-terminal, the link or the listening
// socket cannot be set up (the reason on `err`).
int RunVirtualModule(const ModuleOptions& options, std::ostream& out, std::ostream& err);

}  // namespace glassbench::module
