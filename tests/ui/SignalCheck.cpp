// The window stopped by a signal gives its port back: a terminal that another process keeps
// open (here the test's own descriptor) keeps its exclusive mode too, so a window killed while
// holding it would leave the port busy for every later program. Its own executable, because
// the stop ends every event loop of the process for good.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include "serial/SerialLink.h"
#include "ui/qt/PanelConsoleApp.h"

namespace glassbench::ui::testing {
namespace {

int Exclusive(int fd) {
    int exclusive = -1;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 ? exclusive : -1;
}

TEST(StopSignal, ATerminatedWindowReleasesThePortForTheNextProgram) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char path[128] = {};
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master) | ::ptsname_r(master, path, sizeof(path)), 0);
    const int held = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ::setenv("GLASSBENCH_PORTS", path, 1);

    // The start-up search opens the terminal and confirms it; while the box is up, the
    // process is sent SIGTERM, as `kill` would.
    bool signalled = false;
    QElapsedTimer waiting;
    waiting.start();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!signalled && box != nullptr && Exclusive(held) == 1) {
            signalled = true;
            ::raise(SIGTERM);
        } else if (waiting.hasExpired(20000)) {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                window->close();
            }
        }
    });
    timer.start(20);
    CPanelConsoleApp().InitInstance();
    ASSERT_TRUE(signalled) << "the port was never confirmed";
    EXPECT_EQ(Exclusive(held), 0);
    std::error_code error;
    EXPECT_NE(serial::CreatePlatformSerialSystem()->Open(path, error), nullptr) << error.message();
    ::close(held);
    ::close(master);
}

}  // namespace
}  // namespace glassbench::ui::testing
