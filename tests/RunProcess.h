// Runs a program for a test or a benchmark: to completion (RunProcess), or in the background
// while the caller talks to it (Process), its standard input a pipe the caller writes to where
// asked for. Output is read, and input written, with poll() against deadlines, so a hung program
// fails the test instead of hanging it; a program still running when its Process goes is killed.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace glassbench::testing {

struct ProcessResult {
    int exitCode = -1;  // -1 when ended by a signal or timed out
    std::string out;
    std::string err;
};

// How often `what` occurs in `text`.
int CountOf(const std::string& text, const std::string& what);

// A running process's CPU time so far (user and system) and its resident memory in KiB, from
// /proc.
std::chrono::milliseconds CpuTimeOf(pid_t pid);
long ResidentKiBOf(pid_t pid);

class Process {
  public:
    // `env`: "NAME=VALUE" entries added to the program's environment. `input`: its standard
    // input is a pipe for Write, else it is this program's.
    Process(const std::string& program, const std::vector<std::string>& args,
            const std::filesystem::path& workingDirectory = {},
            const std::vector<std::string>& env = {}, bool input = false);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    const std::string& out() const { return result_.out; }
    const std::string& err() const { return result_.err; }
    // The program's process ID while it runs (for its entries in /proc), -1 once reaped.
    pid_t Pid() const { return pid_; }
    void Signal(int sig);
    // Reads output until stdout holds `text` `count` times or the deadline passes.
    bool WaitFor(const std::string& text, std::chrono::milliseconds within, int count = 1);
    // Writes `text` to its standard input as the pipe takes it, reading its output meanwhile;
    // false when the deadline passes first or the program no longer reads.
    bool Write(std::string_view text, std::chrono::milliseconds within);
    // Ends its standard input.
    void CloseInput();
    // Ends its standard input, reads until the program closes its output and reaps it; kills it
    // at the deadline.
    ProcessResult Finish(std::chrono::milliseconds within = std::chrono::seconds(30));
    // Reads no more: the program's further output goes nowhere (its writes fail with EPIPE),
    // so that a long run cannot fill a pipe nobody reads and stall it.
    void StopReading();

  private:
    // One poll round, writing what it can of `input` where given; false when the deadline has
    // passed or all output has ended.
    bool ReadSome(std::chrono::steady_clock::time_point deadline,
                  std::string_view* input = nullptr);

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};
    int input_ = -1;
    ProcessResult result_;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workingDirectory = {},
                         const std::vector<std::string>& env = {});

// The id of a process that has ended (one that held a lock and died without giving it up): it
// names nobody until the system hands it out again, far later than a test lasts.
inline pid_t EndedProcessId() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

// The glassbench-cli the CLI suites run: the command prefix in GLASSBENCH_TEST_CLI, split at
// blanks (a Windows build: "scripts/wine-run.sh build-win/src/cli/glassbench-cli.exe"), or
// else `native`, the CLI built beside the suite.
struct CliUnderTest {
    // `fromEnvironment` false: always `native`.
    explicit CliUnderTest(const std::string& native, bool fromEnvironment = true);

    ProcessResult Run(const std::vector<std::string>& args,
                      const std::filesystem::path& workingDirectory = {},
                      const std::vector<std::string>& env = {}) const;
    // The CLI in the background, as Process runs a program.
    std::unique_ptr<Process> Start(const std::vector<std::string>& args,
                                   const std::filesystem::path& workingDirectory = {},
                                   const std::vector<std::string>& env = {},
                                   bool input = false) const;

    std::vector<std::string> command;  // the program, then its leading arguments
    bool windows = false;              // the program is a Windows build (a .exe)
    char portSeparator = ':';          // what separates GLASSBENCH_PORTS' names for it
};

}  // namespace glassbench::testing
