#include "serial/PosixPortLocks.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "net/PosixFd.h"

namespace glassbench::serial {

using net::UniqueFd;

namespace {

namespace fs = std::filesystem;

// More than any lock file or /proc/PID/comm holds; /proc/locks is read a line at a time.
constexpr std::size_t kMaxSmallFile = 256;

std::string ReadSmallFile(const fs::path& file) {
    return ReadFileStart(file, kMaxSmallFile);
}

// Whether the process is there and has not ended. A process that has ended but that its
// parent has not yet waited for (a zombie, "Z" in /proc/PID/stat after its name) still answers
// kill, but has closed everything it held.
bool Alive(pid_t pid, const fs::path& proc) {
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) {
        return false;
    }
    const std::string stat = ReadSmallFile(proc / std::to_string(pid) / "stat");
    const auto name = stat.rfind(')');
    return name == std::string::npos || stat.compare(name, 3, ") Z") != 0;
}

// The live process another program's lock file names: not this process, whose lock is its own.
std::optional<pid_t> LiveHolder(const fs::path& file, const fs::path& proc) {
    const auto pid = LockFilePid(ReadSmallFile(file));
    if (pid && *pid != ::getpid() && Alive(*pid, proc)) {
        return pid;
    }
    return std::nullopt;
}

// The lock folders, each once however many names lead to it.
std::vector<fs::path> LockFolders(const PosixPaths& paths) {
    std::vector<fs::path> folders, seen;
    for (const fs::path& folder : paths.lockFolders) {
        std::error_code error;
        const fs::path resolved = fs::weakly_canonical(folder, error);
        if (std::find(seen.begin(), seen.end(), resolved) == seen.end()) {
            seen.push_back(resolved);
            folders.push_back(folder);
        }
    }
    return folders;
}

enum class Made { Yes, NotWritable, Busy };

// Makes `file` atomically, whole from the start: the content goes into a file of this
// process's own, which is then linked to the lock's name, so that no program ever reads a lock
// half written. A stale lock in the way is removed first (once: a program that takes it
// meanwhile keeps it).
Made MakeLockFile(const fs::path& folder, const fs::path& file, const fs::path& proc) {
    const fs::path temporary = folder / ("LTMP." + std::to_string(::getpid()));
    {
        UniqueFd fd(
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (!fd) {
            return Made::NotWritable;  // EACCES, EROFS, ENOENT: no lock file here
        }
        char content[16];
        const int length = std::snprintf(content, sizeof(content), "%10d\n", ::getpid());
        if (::write(fd.Get(), content, static_cast<std::size_t>(length)) != length) {
            ::unlink(temporary.c_str());
            return Made::NotWritable;
        }
    }
    Made made = Made::NotWritable;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::link(temporary.c_str(), file.c_str()) == 0) {
            made = Made::Yes;
            break;
        }
        if (errno != EEXIST) {
            break;
        }
        if (LiveHolder(file, proc)) {
            made = Made::Busy;
            break;
        }
        ::unlink(file.c_str());  // stale: its process is gone
    }
    ::unlink(temporary.c_str());
    return made;
}

// Where the device's node is, every link followed.
std::string Resolved(const fs::path& path) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path.lexically_normal().string() : resolved.string();
}

// The processes /proc/locks names for a lock on the device's node, other than this one. Each
// line: "1: FLOCK  ADVISORY  WRITE 1234 00:05:87 0 EOF", the node as major and minor of its
// file system (hex) and its inode; "1: -> FLOCK ..." is a process waiting for that lock.
std::vector<pid_t> LockingProcesses(const struct stat& node, const fs::path& proc) {
    std::vector<pid_t> pids;
    std::ifstream locks(proc / "locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream words(line);
        std::string number, type, mode, access, where;
        long pid = 0;
        if (!(words >> number >> type) || type == "->" ||
            !(words >> mode >> access >> pid >> where)) {
            continue;
        }
        unsigned fsMajor = 0, fsMinor = 0;
        unsigned long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%lu", &fsMajor, &fsMinor, &inode) == 3 &&
            fsMajor == major(node.st_dev) && fsMinor == minor(node.st_dev) &&
            inode == node.st_ino && pid > 0 && pid != ::getpid()) {
            pids.push_back(static_cast<pid_t>(pid));
        }
    }
    return pids;
}

// Every other process with the device open, as far as this user may look into /proc.
std::vector<pid_t> OpeningProcesses(const struct stat& node, const fs::path& proc) {
    std::vector<pid_t> pids;
    std::error_code error;
    for (fs::directory_iterator entry(proc, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        pid_t pid = 0;
        const auto parsed = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (parsed.ec != std::errc() || parsed.ptr != name.data() + name.size() ||
            pid == ::getpid()) {
            continue;
        }
        std::error_code closed;
        for (fs::directory_iterator fd(entry->path() / "fd", closed), none; !closed && fd != none;
             fd.increment(closed)) {
            struct stat open {};
            if (::stat(fd->path().c_str(), &open) == 0 && S_ISCHR(open.st_mode) &&
                open.st_rdev == node.st_rdev) {
                pids.push_back(pid);
                break;
            }
        }
    }
    return pids;
}

std::string Processes(const std::vector<pid_t>& pids, const fs::path& proc) {
    std::string text;
    for (const pid_t pid : pids) {
        text += (text.empty() ? "" : ", ") + ProcessText(pid, proc);
    }
    return text;
}

}  // namespace

std::string LockFileName(const fs::path& device, const fs::path& dev) {
    const fs::path relative = fs::path(Resolved(device)).lexically_relative(Resolved(dev));
    if (relative.empty() || *relative.begin() == "..") {
        return {};
    }
    std::string name = relative.string();
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

std::optional<pid_t> LockFilePid(const std::string& content) {
    const auto first = content.find_first_not_of(' ');
    const auto last = content.find_last_not_of(" \n");
    if (first != std::string::npos && last != std::string::npos && first <= last) {
        const std::string_view digits(content.data() + first, last - first + 1);
        pid_t pid = 0;
        const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
        if (parsed.ec == std::errc() && parsed.ptr == digits.data() + digits.size()) {
            return pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
        }
    }
    if (content.size() == sizeof(std::int32_t)) {
        std::int32_t pid = 0;
        std::memcpy(&pid, content.data(), sizeof(pid));
        return pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
    }
    return std::nullopt;
}

std::string ProcessText(pid_t pid, const fs::path& proc) {
    std::string name = ReadSmallFile(proc / std::to_string(pid) / "comm");
    while (!name.empty() && name.back() == '\n') {
        name.pop_back();
    }
    const std::string id = "pid " + std::to_string(pid);
    return name.empty() ? id : name + " (" + id + ")";
}

UucpLock::~UucpLock() {
    if (!file_.empty()) {
        ::unlink(file_.c_str());
    }
}

UucpLock::UucpLock(UucpLock&& other) noexcept : file_(std::exchange(other.file_, {})) {}

UucpLock& UucpLock::operator=(UucpLock&& other) noexcept {
    if (this != &other) {
        if (!file_.empty()) {
            ::unlink(file_.c_str());
        }
        file_ = std::exchange(other.file_, {});
    }
    return *this;
}

std::optional<UucpLock> UucpLock::Acquire(const std::string& device, const PosixPaths& paths,
                                          std::error_code& error) {
    UucpLock lock;
    const std::string name = LockFileName(device, paths.dev);
    std::error_code missing;
    if (name.empty() || !fs::exists(device, missing)) {
        return lock;  // a device that is not there needs no lock: its open fails
    }
    const std::vector<fs::path> folders = LockFolders(paths);
    for (const fs::path& folder : folders) {
        if (LiveHolder(folder / name, paths.proc)) {
            error = std::make_error_code(std::errc::device_or_resource_busy);
            return std::nullopt;
        }
        if (LockFilePid(ReadSmallFile(folder / name)) == ::getpid()) {
            return lock;  // this process holds the port already; its open decides
        }
    }
    for (const fs::path& folder : folders) {
        switch (MakeLockFile(folder, folder / name, paths.proc)) {
            case Made::Yes:
                lock.file_ = folder / name;
                return lock;
            case Made::Busy:
                error = std::make_error_code(std::errc::device_or_resource_busy);
                return std::nullopt;
            case Made::NotWritable:
                break;
        }
    }
    return lock;
}

std::string BusyReason(const std::string& device, const PosixPaths& paths) {
    struct stat node {};
    if (::stat(device.c_str(), &node) != 0) {
        return {};
    }
    if (const auto locking = LockingProcesses(node, paths.proc); !locking.empty()) {
        return "in use by " + Processes(locking, paths.proc);
    }
    const std::string name = LockFileName(device, paths.dev);
    for (const fs::path& folder : name.empty() ? std::vector<fs::path>{} : LockFolders(paths)) {
        if (const auto pid = LiveHolder(folder / name, paths.proc)) {
            return "locked by " + ProcessText(*pid, paths.proc) + " in " + (folder / name).string();
        }
    }
    if (const auto opening = OpeningProcesses(node, paths.proc); !opening.empty()) {
        return "in use by " + Processes(opening, paths.proc);
    }
    return {};
}

}  // namespace glassbench::serial
