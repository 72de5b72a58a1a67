// The serial services on Linux, with the folders they look in as data, so that the tests can
// give them a sysfs tree, a /dev and lock folders of their own.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
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

// The first `most` bytes of a small file the system keeps (a sysfs attribute, a lock file,
// /proc/PID/comm): empty when it cannot be read.
std::string ReadFileStart(const std::filesystem::path& file, std::size_t most);

// The running system's folders; GLASSBENCH_LOCK_DIR, where it is set, is the one lock folder
// (empty: none, no lock files at all).
PosixPaths SystemPaths();

// Their waits end at a request of `stop` too.
std::unique_ptr<SerialSystem> CreatePosixSerialSystem(PosixPaths paths,
                                                      StopToken stop = std::nullopt);

}  // namespace glassbench::serial
