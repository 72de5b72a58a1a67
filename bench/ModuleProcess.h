// The virtual display module (glassbench-cli module) in a process of its own for a benchmark,
// so that its work is not counted as the measured program's CPU time. It runs until the
// object goes.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace glassbench::bench {

class ModuleProcess {
  public:
    ModuleProcess(const std::string& link, const std::vector<std::string>& options) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<std::string> args{GLASSBENCH_CLI, "module", "--link", link};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
        // Wait for the module's first line, which it prints once its link is published.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::string text;
        while (text.find('\n') == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd entry{out_, POLLIN, 0};
            if (::poll(&entry, 1, 100) > 0) {
                char buffer[256];
                const ssize_t n = ::read(out_, buffer, sizeof(buffer));
                if (n <= 0) {
                    break;
                }
                text.append(buffer, static_cast<std::size_t>(n));
            }
        }
        ready_ = text.find("module: ") != std::string::npos;
        // Its per-frame lines are not needed: the pipe is closed, and the module, which
        // ignores SIGPIPE, writes them nowhere instead of filling the pipe and stalling.
        ::close(out_);
        out_ = -1;
    }
    ~ModuleProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    ModuleProcess(const ModuleProcess&) = delete;
    ModuleProcess& operator=(const ModuleProcess&) = delete;
    bool ready() const { return ready_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool ready_ = false;
};

}  // namespace glassbench::bench
