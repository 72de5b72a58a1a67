// Runs a program to completion for a test and collects what it printed and its exit code.
// Output is read with poll() against a deadline, so a hung program fails the test instead of
// hanging it.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace glassbench::testing {

struct ProcessResult {
    int exitCode = -1;  // -1 when killed or timed out
    bool timedOut = false;
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workingDirectory = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace glassbench::testing
