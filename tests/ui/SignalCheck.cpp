// The window stopped by a signal (kill, Ctrl+C, a closed terminal) gives its port back and exits
// with 128 plus the signal's number, as a shell reports a program a signal ended. A terminal
// that another process keeps open (here the test's own descriptor) keeps its exclusive mode
// too, so a window killed while holding it would leave the port busy for every later program.
// The program itself runs on Xvfb (run_xvfb_check.sh) and gets the signal once its start-up
// confirmation is on the screen, that is while it holds the port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "RunProcess.h"
#include "XWindows.h"

namespace glassbench::ui::testing {
namespace {

using namespace std::chrono_literals;

int Exclusive(int fd) {
    int exclusive = -1;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 ? exclusive : -1;
}

TEST(StopSignal, TheWindowExitsWith128PlusTheSignalAndReleasesThePort) {
    ASSERT_TRUE(xwindows::Usable()) << "no X display";
    const struct {
        int signal;
        int exitCode;
    } cases[] = {{SIGTERM, 143}, {SIGINT, 130}, {SIGHUP, 129}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char path[128] = {};
        ASSERT_EQ(::grantpt(master) | ::unlockpt(master) | ::ptsname_r(master, path, sizeof(path)),
                  0);
        const int held = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(held, 0);

        glassbench::testing::Process window(GLASSBENCH_QT_WINDOW, {}, {},
                                            {"GLASSBENCH_PORTS=" + std::string(path)});
        const bool confirmed = xwindows::WaitFor(
            [](const xwindows::TopLevels& windows) {
                return std::any_of(windows.begin(), windows.end(),
                                   [](const auto& w) { return w.title == "Orvane Glassbench"; });
            },
            std::chrono::steady_clock::now() + 30s);
        ASSERT_TRUE(confirmed) << "the port was never confirmed";
        EXPECT_EQ(Exclusive(held), 1);
        window.Signal(c.signal);
        const glassbench::testing::ProcessResult result = window.Finish(30s);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(Exclusive(held), 0);
        ::close(held);
        ::close(master);
    }
}

}  // namespace
}  // namespace glassbench::ui::testing
