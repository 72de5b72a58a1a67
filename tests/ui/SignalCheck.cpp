// The window stopped by a signal (kill, Ctrl+C, a closed terminal) gives its port back and exits
// with 128 plus the signal's number, as a shell reports a program a signal ended. A terminal
// that another process keeps open (here the test's own descriptor) keeps its exclusive mode
// too, so a window killed while holding it would leave the port busy for every later program.
//
// Each stop is a process of its own, because a stop ends every event loop of its process for
// good: this executable, started again with --stop-with=SIGNAL, runs the window's own Run() as
// main does, and raises the signal from inside its modal run when the start-up confirmation is
// shown, that is while the port is held. What it exits with is the window's exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>

#include "RunProcess.h"
#include "TempDir.h"
#include "serial/SerialLink.h"
#include "ui/qt/PanelConsoleApp.h"

namespace glassbench::ui::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kStopWith = "--stop-with=";
int g_stopWith = 0;

// In the stopped process: the first message box shown prints its text and raises the signal.
class StopAtFirstBox final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto* box = qobject_cast<QMessageBox*>(watched);
        if (event->type() == QEvent::Show && box != nullptr && g_stopWith != 0) {
            std::cout << box->text().toStdString() << std::endl;
            ::raise(std::exchange(g_stopWith, 0));
        }
        return false;
    }
};

void InstallStop() {
    qApp->installEventFilter(new StopAtFirstBox(qApp));
}

int Exclusive(int fd) {
    int exclusive = -1;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 ? exclusive : -1;
}

TEST(StopSignal, TheWindowExitsWith128PlusTheSignalAndReleasesThePort) {
    const struct {
        int signal;
        int exitCode;
    } cases[] = {{SIGTERM, 143}, {SIGINT, 130}, {SIGHUP, 129}};
    const glassbench::testing::TempDir runtime;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char path[128] = {};
        ASSERT_EQ(::grantpt(master) | ::unlockpt(master) | ::ptsname_r(master, path, sizeof(path)),
                  0);
        const int held = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(held, 0);

        glassbench::testing::Process window(
            "/proc/self/exe", {std::string(kStopWith) + std::to_string(c.signal)}, {},
            {"GLASSBENCH_PORTS=" + std::string(path), "QT_QPA_PLATFORM=offscreen",
             "XDG_RUNTIME_DIR=" + runtime.path().string()});
        const glassbench::testing::ProcessResult result = window.Finish(60s);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(result.out, "Port " + std::string(path) + " opened at 9600 baud.\n");
        EXPECT_EQ(Exclusive(held), 0);
        std::error_code error;
        EXPECT_NE(serial::CreatePlatformSerialSystem()->Open(path, error), nullptr)
            << error.message();
        ::close(held);
        ::close(master);
    }
}

}  // namespace
}  // namespace glassbench::ui::testing

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]).starts_with(glassbench::ui::testing::kStopWith)) {
        glassbench::ui::testing::g_stopWith =
            std::atoi(argv[1] + glassbench::ui::testing::kStopWith.size());
        qAddPreRoutine(&glassbench::ui::testing::InstallStop);
        return glassbench::ui::qt::CPanelConsoleApp().Run(argc, argv);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
