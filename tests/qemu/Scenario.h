// The fixture of the kernel-driver scenarios: one guest for the whole program, booted before
// the first scenario (a boot takes seconds under TCG), and each scenario a TEST_F on it:
//
//   TEST_F(KernelDriverScenario, SomethingThroughTheFtdi) {
//       const auto sent = Guest().Run("glassbench-cli send --port=/dev/ttyUSB0 --no-pulse");
//       EXPECT_EQ(sent.status, 0) << sent.out << sent.error;
//   }
//
// A scenario leaves the board as it was booted: every adapter of kBoard plugged at boot there
// with its module, the others unplugged. TearDown checks that, so that one scenario's leftovers
// show as its own failure, and puts the board back for the next one. The program runs through
// tests/qemu/run.sh, which makes the guest and names its folder in GLASSBENCH_QEMU_GUEST;
// without it every scenario is skipped.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "KernelBench.h"

namespace glassbench::testing::qemu {

class KernelDriverScenario : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    static KernelBench& Guest();
    // glassbench-cli in the guest with these arguments.
    static GuestResult Cli(const std::string& arguments, milliseconds limit = 60s);
    // A measured value: printed, and kept as a property of the test in its XML report.
    static void Figure(const std::string& name, double value, const std::string& unit);
    // For a failed wait's message: the node events so far and the bench's last error.
    static std::string Seen();
};

}  // namespace glassbench::testing::qemu
