#include "RunProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace glassbench::testing {

using std::chrono::steady_clock;

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

std::chrono::milliseconds CpuTimeOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command's name, which is in parentheses and may hold blanks.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        ticks += i >= 14 ? std::stol(field) : 0;  // utime and stime
    }
    return std::chrono::milliseconds(ticks * 1000 / ::sysconf(_SC_CLK_TCK));
}

long ResidentKiBOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::filesystem::path& workingDirectory, const std::vector<std::string>& env,
                 bool input) {
    int out[2], err[2], in[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 ||
        (input && ::pipe2(in, O_CLOEXEC) != 0)) {
        return;
    }
    if (input) {
        // A program that ends without reading all its input makes the next write fail with
        // EPIPE, which Write reports, rather than end the test by the signal.
        ::signal(SIGPIPE, SIG_IGN);
    }
    // Built before the fork, so that the child allocates nothing. The added environment
    // entries come first: getenv takes the first of a name.
    std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    for (const auto& entry : env) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    for (char** entry = environ; *entry != nullptr; ++entry) {
        envp.push_back(*entry);
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    if ((pid_ = ::fork()) == 0) {
        if (input) {
            ::dup2(in[0], STDIN_FILENO);
        }
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        if (workingDirectory.empty() || ::chdir(workingDirectory.c_str()) == 0) {
            ::execve(program.c_str(), argv.data(), envp.data());
        }
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    fds_[0] = out[0];
    fds_[1] = err[0];
    if (input) {
        ::close(in[0]);
        input_ = in[1];
    }
}

Process::~Process() {
    Signal(SIGKILL);
    Finish(std::chrono::seconds(10));
}

void Process::Signal(int sig) {
    if (pid_ > 0) {
        ::kill(pid_, sig);
    }
}

bool Process::WaitFor(const std::string& text, std::chrono::milliseconds within, int count) {
    const auto deadline = steady_clock::now() + within;
    while (CountOf(result_.out, text) < count && ReadSome(deadline)) {
    }
    return CountOf(result_.out, text) >= count;
}

bool Process::Write(std::string_view text, std::chrono::milliseconds within) {
    const auto deadline = steady_clock::now() + within;
    while (!text.empty() && input_ >= 0 && ReadSome(deadline, &text)) {
    }
    return text.empty();
}

void Process::CloseInput() {
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
}

ProcessResult Process::Finish(std::chrono::milliseconds within) {
    CloseInput();
    const auto deadline = steady_clock::now() + within;
    while (ReadSome(deadline)) {
    }
    const bool timedOut = fds_[0] >= 0 || fds_[1] >= 0;
    if (timedOut) {
        Signal(SIGKILL);
    }
    StopReading();
    int status = 0;
    while (pid_ > 0 && ::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    if (pid_ > 0 && WIFEXITED(status) && !timedOut) {
        result_.exitCode = WEXITSTATUS(status);
    }
    pid_ = -1;
    return result_;
}

void Process::StopReading() {
    for (int& fd : fds_) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

bool Process::ReadSome(steady_clock::time_point deadline, std::string_view* input) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now());
    if ((fds_[0] < 0 && fds_[1] < 0) || left.count() <= 0) {
        return false;
    }
    pollfd entries[3] = {
        {fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}, {input != nullptr ? input_ : -1, POLLOUT, 0}};
    if (::poll(entries, 3, static_cast<int>(left.count())) < 0) {
        return errno == EINTR;
    }
    if (entries[2].revents != 0) {
        // A pipe that polls writable takes PIPE_BUF bytes at once.
        const ssize_t n =
            ::write(input_, input->data(), std::min<std::size_t>(input->size(), PIPE_BUF));
        if (n > 0) {
            input->remove_prefix(static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            CloseInput();
        }
    }
    std::string* sinks[2] = {&result_.out, &result_.err};
    for (int i = 0; i < 2; ++i) {
        if (entries[i].revents == 0) {
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
                         const std::vector<std::string>& env) {
    return Process(program, args, workingDirectory, env).Finish();
}

CliUnderTest::CliUnderTest(const std::string& native, bool fromEnvironment) {
    const char* prefix = fromEnvironment ? std::getenv("GLASSBENCH_TEST_CLI") : nullptr;
    std::istringstream words(prefix != nullptr ? prefix : "");
    for (std::string word; words >> word;) {
        command.push_back(word);
    }
    if (command.empty()) {
        command.push_back(native);
    }
    windows = command.back().ends_with(".exe");
    portSeparator = windows ? ';' : ':';
}

ProcessResult CliUnderTest::Run(const std::vector<std::string>& args,
                                const std::filesystem::path& workingDirectory,
                                const std::vector<std::string>& env) const {
    return Start(args, workingDirectory, env)->Finish();
}

std::unique_ptr<Process> CliUnderTest::Start(const std::vector<std::string>& args,
                                             const std::filesystem::path& workingDirectory,
                                             const std::vector<std::string>& env,
                                             bool input) const {
    std::vector<std::string> all(command.begin() + 1, command.end());
    all.insert(all.end(), args.begin(), args.end());
    return std::make_unique<Process>(command.front(), all, workingDirectory, env, input);
}

}  // namespace glassbench::testing
