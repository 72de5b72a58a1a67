// The serial services on Linux, with the folders they look in as data, so that the tests can
// give them a sysfs tree, a /dev and lock folders of their own.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

struct PosixPaths {
    std::filesystem::path sys = "/sys";    // sysfs: what each tty is (PosixPresentPorts.h)
    std::filesystem::path dev = "/dev";    // the device nodes, and udev's /dev/serial links
    std::filesystem::path proc = "/proc";  // who holds a busy port (PosixPortLocks.h)
    // Where UUCP lock files are looked for, and made in the first that may be written. Both
    // are usual; on Debian /var/lock is a link to /run/lock.
    std::vector<std::filesystem::path> lockFolders = {"/run/lock", "/var/lock"};
};

// The running system's folders; GLASSBENCH_LOCK_DIR, where it is set, is the one lock folder
// (empty: none, no lock files at all).
PosixPaths SystemPaths();

// Their waits end at a request of `stop` too.
std::unique_ptr<SerialSystem> CreatePosixSerialSystem(PosixPaths paths,
                                                      StopToken stop = std::nullopt);

}  // namespace glassbench::serial
