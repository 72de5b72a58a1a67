// Who holds a serial port on Linux, and the UUCP lock files that say so.
//
// Programs hold a port in one of three ways, and a port is opened only when none of them
// says it is taken. flock on the device (every open here takes one, as pyserial's exclusive
// mode and tio do) and TIOCEXCL (which stops every later open, but not root's) are checked by
// the open itself. UUCP lock files are the oldest way: a file LCK..NAME in /run/lock or
// /var/lock holding the owner's process id as ten characters and a newline (minicom, picocom
// and cu write them). One that names a live process is honoured; one whose process has ended
// (a zombie included) was left by a program that died, and is replaced. The open makes its own
// where the folder may be written, removes it at close (a stop request ends the program by
// the ordinary way out, which closes the port), and never fails because it could not.
//
// When a port is busy, the holder is looked for: the process /proc/locks names for the
// device's flock, the live lock file's process, or else every other process with the device
// open in /proc/*/fd (as far as this user may look).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "serial/PosixSerialSystem.h"

namespace glassbench::serial {

// A lock file's name for a device node below `dev`: LCK.. and the node's path below it, with
// '_' for '/' (LCK..ttyUSB0, LCK..pts_3); empty for a node elsewhere.
std::string LockFileName(const std::filesystem::path& device, const std::filesystem::path& dev);

// The process a lock file names, or nullopt when it names none (empty, not a number): HDB
// UUCP's ten characters and a newline, or the older four binary bytes.
std::optional<pid_t> LockFilePid(const std::string& content);

// "minicom (pid 1234)", or "pid 1234" when its name cannot be read.
std::string ProcessText(pid_t pid, const std::filesystem::path& proc);

// The lock file this process made for a port, removed when it goes.
class UucpLock {
  public:
    UucpLock() = default;
    ~UucpLock();
    UucpLock(UucpLock&& other) noexcept;
    UucpLock& operator=(UucpLock&& other) noexcept;

    // Honours a live lock file for `device` in any of `paths.lockFolders`: nullopt, with EBUSY
    // in `error` (BusyReason names the holder). Otherwise takes the port's lock in the first
    // folder that may be written, replacing a stale one; a lock without a file where none
    // may be written (no lock folder, or not ours to write in), which is no failure, and where
    // this process holds the port's lock already.
    static std::optional<UucpLock> Acquire(const std::string& device, const PosixPaths& paths,
                                           std::error_code& error);

    const std::filesystem::path& File() const { return file_; }

  private:
    std::filesystem::path file_;  // empty: no file was made
};

// Who holds a busy device, as the rest of "port NAME is ...": "in use by minicom (pid 1234)",
// "locked by minicom (pid 1234) in /run/lock/LCK..ttyUSB0"; empty when nobody can be found.
std::string BusyReason(const std::string& device, const PosixPaths& paths);

}  // namespace glassbench::serial
