// The virtual module as its own process, on a link in the test's private folder, for the
// suites that run the built CLI against it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "RunProcess.h"
#include "TempDir.h"

namespace glassbench::testing {

// The CLI under test: the native one, or the one GLASSBENCH_TEST_CLI names (the Windows build
// under Wine). The module is always the native one.
inline const CliUnderTest& Cli() {
    static const CliUnderTest cli(GLASSBENCH_CLI);
    return cli;
}

// This process's name as /proc shows it (a test program's, cut to 15 characters).
inline std::string OwnCommand() {
    std::string name = TempDir::Read("/proc/self/comm");
    return name.substr(0, name.find('\n'));
}

class ModuleTest : public ::testing::Test {
  protected:
    void StartModule(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"module", "--link", path});
        module = std::make_unique<Process>(GLASSBENCH_CLI, options);
        ASSERT_TRUE(module->WaitFor("module: " + path + " -> ", std::chrono::seconds(10)))
            << module->err();
    }
    ProcessResult Send(std::vector<std::string> options) {
        options.insert(options.begin(), {"send", "--port=" + path});
        return Cli().Run(options);
    }

    TempDir dir;
    std::string path = (dir.path() / "module").string();
    std::unique_ptr<Process> module;
};

}  // namespace glassbench::testing
