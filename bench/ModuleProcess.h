// The virtual display module (glassbench-cli module) in a process of its own for a benchmark,
// so that its work is not counted as the measured program's CPU time. It runs until the
// object goes, and is then stopped as Ctrl+C would stop it, which removes its link.
#pragma once

#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "RunProcess.h"

namespace glassbench::bench {

class ModuleProcess {
  public:
    ModuleProcess(const std::string& link, std::vector<std::string> options)
        : process_(GLASSBENCH_CLI, Args(link, std::move(options))) {
        // Its first line says the link is published.
        ready_ = process_.WaitFor("module: ", std::chrono::seconds(10));
        // Its line for every frame is not wanted: the module, which ignores SIGPIPE, writes
        // them nowhere instead of filling a pipe and stalling.
        process_.StopReading();
    }
    ~ModuleProcess() {
        process_.Signal(SIGTERM);
        process_.Finish(std::chrono::seconds(10));
    }
    ModuleProcess(const ModuleProcess&) = delete;
    ModuleProcess& operator=(const ModuleProcess&) = delete;
    bool ready() const { return ready_; }

  private:
    static std::vector<std::string> Args(const std::string& link, std::vector<std::string> o) {
        o.insert(o.begin(), {"module", "--link", link});
        return o;
    }

    testing::Process process_;
    bool ready_ = false;
};

}  // namespace glassbench::bench
