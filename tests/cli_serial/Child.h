// A program started in the background for a test: the virtual module, or a send that the
// test interferes with while it runs. Output is collected with poll() against deadlines; a
// child still running when the test ends is killed and reaped.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

namespace glassbench::testing {

struct ChildResult {
    int exitCode = -1;  // -1 when ended by a signal or not ended in time
    int signal = 0;
    bool timedOut = false;
    std::chrono::microseconds cpu{0};  // user + system time the child used
};

class Child {
  public:
    Child(const std::string& program, const std::vector<std::string>& args) {
        int outPipe[2];
        int errPipe[2];
        if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(outPipe[1], STDOUT_FILENO);
            ::dup2(errPipe[1], STDERR_FILENO);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        fds_[0] = outPipe[0];
        fds_[1] = errPipe[0];
    }

    ~Child() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            Reap();
        }
        for (int& fd : fds_) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

    // Reads output until `done(stdout so far)` holds or the deadline passes.
    template <typename Predicate>
    bool WaitFor(Predicate done, std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (!done(out_)) {
            if (!ReadSome(deadline)) {
                return done(out_);
            }
        }
        return true;
    }

    bool WaitForOutput(const std::string& text, std::chrono::milliseconds within) {
        return WaitFor(
            [&text](const std::string& out) { return out.find(text) != std::string::npos; },
            within);
    }

    void Signal(int sig) { ::kill(pid_, sig); }

    // Reads until the child closes its output, then reaps it. A child still running at the
    // deadline is killed.
    ChildResult Finish(std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (fds_[0] >= 0 || fds_[1] >= 0) {
            if (!ReadSome(deadline)) {
                break;
            }
        }
        if (fds_[0] >= 0 || fds_[1] >= 0) {
            result_.timedOut = true;
            ::kill(pid_, SIGKILL);
        }
        Reap();
        return result_;
    }

  private:
    // One poll round; false when the deadline has passed or all output has ended.
    bool ReadSome(std::chrono::steady_clock::time_point deadline) {
        if (fds_[0] < 0 && fds_[1] < 0) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entries[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
        const int ready = ::poll(entries, 2, static_cast<int>(left.count()));
        if (ready < 0) {
            return errno == EINTR;
        }
        std::string* sinks[2] = {&out_, &err_};
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

    void Reap() {
        int status = 0;
        rusage usage{};
        while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        if (WIFEXITED(status)) {
            result_.exitCode = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result_.signal = WTERMSIG(status);
        }
        const auto micros = [](const timeval& t) {
            return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
        };
        result_.cpu = micros(usage.ru_utime) + micros(usage.ru_stime);
    }

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};
    bool reaped_ = false;
    std::string out_;
    std::string err_;
    ChildResult result_;
};

}  // namespace glassbench::testing
