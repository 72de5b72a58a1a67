// Who holds a port, and the UUCP lock files, end to end: the built CLI against the virtual
// module's pseudo-terminal, with a second process (this test, another CLI) holding it. The lock
// folder is the test's own (GLASSBENCH_LOCK_DIR), so nothing is left in the system's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <string>

#include "ModuleFixture.h"
#include "RunProcess.h"
#include "TempDir.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class PortLockTest : public ModuleTest {
  protected:
    void SetUp() override {
        if (Cli().windows) {
            GTEST_SKIP() << "UUCP lock files, TIOCEXCL and /proc are how Linux programs hold "
                            "and show a port";
        }
        StartModule({"--silent"});  // nothing answers: a send waits a second, holding the port
        fs::create_directory(lockDir);
        // LCK..pts_N for the module's /dev/pts/N.
        std::string node = fs::read_symlink(path).string().substr(5);
        std::replace(node.begin(), node.end(), '/', '_');
        lockFile = lockDir / ("LCK.." + node);
    }
    ProcessResult SendLocked(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"send", "--port=" + path, "--no-pulse"});
        return Cli().Run(options, {}, {env});
    }
    void WriteLock(pid_t pid) { std::ofstream(lockFile) << std::setw(10) << pid << "\n"; }

    fs::path lockDir = dir.path() / "lock";
    fs::path lockFile;
    std::string env = "GLASSBENCH_LOCK_DIR=" + lockDir.string();
};

std::string Pid(pid_t pid) {
    return "(pid " + std::to_string(pid) + ")";
}

TEST_F(PortLockTest, ALiveLockIsRefusedAndItsHolderNamedAStaleOneIsReplaced) {
    // A lock of another program (this test) that lives: refused before the port is touched.
    WriteLock(::getpid());
    const ProcessResult locked = SendLocked();
    EXPECT_EQ(locked.exitCode, 3);
    EXPECT_EQ(locked.err, "Could not open port " + path + ".\nDevice or resource busy: port " +
                              path + " is locked by " + OwnCommand() + " " + Pid(::getpid()) +
                              " in " + lockFile.string() + ".\n");
    EXPECT_TRUE(fs::exists(lockFile));

    // A stale one: the CLI takes the port and the lock, holds both while it runs, and removes
    // the lock on its way out.
    WriteLock(EndedProcessId());
    auto send = std::make_unique<Process>(
        GLASSBENCH_CLI,
        std::vector<std::string>{"send", "--port=" + path, "--no-pulse", "--repeat=100"},
        fs::path{}, std::vector<std::string>{env});
    ASSERT_TRUE(send->WaitFor("sent: ", 10s)) << send->err();
    EXPECT_EQ(TempDir::Read(lockFile), std::string(10 - std::to_string(send->Pid()).size(), ' ') +
                                           std::to_string(send->Pid()) + "\n");
    // A second CLI is refused, and told which holds the port.
    const ProcessResult second = SendLocked();
    EXPECT_EQ(second.exitCode, 3);
    EXPECT_EQ(second.err, "Could not open port " + path + ".\nDevice or resource busy: port " +
                              path + " is in use by glassbench-cli " + Pid(send->Pid()) + ".\n");
    send->Signal(SIGTERM);
    EXPECT_EQ(send->Finish(10s).exitCode, 128 + SIGTERM);
    EXPECT_FALSE(fs::exists(lockFile));

    // No folder to write in is no failure: the port opens, and the frame goes out.
    fs::remove_all(lockDir);
    const ProcessResult unlocked = SendLocked();
    EXPECT_EQ(unlocked.exitCode, 1);  // no reply from the silent module
    EXPECT_EQ(unlocked.err, "");
}

// TIOCEXCL alone (as screen and some terminals hold a port) leaves no lock to read: every
// other process with the device open is named, the module among them.
TEST_F(PortLockTest, ABusyPortNamesTheProcessesThatHaveItOpen) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
    const ProcessResult held = SendLocked();
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    EXPECT_EQ(held.exitCode, 3);
    EXPECT_EQ(held.err.rfind("Could not open port " + path + ".\nDevice or resource busy: port " +
                                 path + " is in use by ",
                             0),
              0u)
        << held.err;
    EXPECT_NE(held.err.find(OwnCommand() + " " + Pid(::getpid())), std::string::npos) << held.err;
    EXPECT_NE(held.err.find("glassbench-cli " + Pid(module->Pid())), std::string::npos) << held.err;
}

}  // namespace
}  // namespace glassbench::testing
