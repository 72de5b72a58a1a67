#include "RunProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace glassbench::testing {

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::filesystem::path& workingDirectory,
                 const std::vector<std::string>& env) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    // The added entries come first: getenv takes the first of a name.
    std::vector<char*> envp;
    for (const auto& entry : env) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    for (char** entry = environ; *entry != nullptr; ++entry) {
        envp.push_back(*entry);
    }
    envp.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) {
            ::_exit(126);
        }
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    fds_[0] = outPipe[0];
    fds_[1] = errPipe[0];
}

Process::~Process() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        Finish(std::chrono::seconds(10));
    }
    for (const int fd : fds_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void Process::Signal(int sig) {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, sig);
    }
}

bool Process::WaitFor(const std::string& text, std::chrono::milliseconds within, int count) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (CountOf(result_.out, text) < count) {
        if (!ReadSome(deadline)) {
            return CountOf(result_.out, text) >= count;
        }
    }
    return true;
}

ProcessResult Process::Finish(std::chrono::milliseconds within) {
    if (pid_ <= 0 || reaped_) {
        return result_;
    }
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (ReadSome(deadline)) {
    }
    if (fds_[0] >= 0 || fds_[1] >= 0) {
        result_.timedOut = true;
        ::kill(pid_, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    if (WIFEXITED(status) && !result_.timedOut) {
        result_.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result_.signal = WTERMSIG(status);
    }
    const auto micros = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    result_.cpu = micros(usage.ru_utime) + micros(usage.ru_stime);
    return result_;
}

// One poll round; false when the deadline has passed or all output has ended.
bool Process::ReadSome(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if ((fds_[0] < 0 && fds_[1] < 0) || left.count() <= 0) {
        return false;
    }
    pollfd entries[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
    if (::poll(entries, 2, static_cast<int>(left.count())) < 0) {
        return errno == EINTR;
    }
    std::string* sinks[2] = {&result_.out, &result_.err};
    for (int i = 0; i < 2; ++i) {
        if (fds_[i] < 0 || entries[i].revents == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds_[i], buffer, sizeof(buffer));
        if (n > 0) {
            sinks[i]->append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(fds_[i]);
            fds_[i] = -1;
        }
    }
    return true;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workingDirectory,
                         std::chrono::milliseconds timeout, const std::vector<std::string>& env) {
    return Process(program, args, workingDirectory, env).Finish(timeout);
}

}  // namespace glassbench::testing
