// How long the operator window takes from process start to being shown.
//
// The program starts itself again as a child, many times. The parent reads the monotonic
// clock just before it starts the child (the tests' process runner); the child builds the
// application and the dialog, runs its initialisation with no port to open (thirty device paths
// that do not exist, so the search fails fast and no line pulse or pause happens), shows it, waits
// until the window is exposed and prints the monotonic clock. The difference covers loading the
// program and Qt, the application, the template build, the preset load and the first paint.
//
// Usage: ui_startup_bench [--runs N]   (the child mode, --child, is for the parent's use)
#include <time.h>

#include <QApplication>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchEnvironment.h"
#include "RunProcess.h"
#include "serial/SerialLink.h"
#include "ui/Toolkit.h"
#include "ui/qt/QtPanelWindow.h"

namespace {

using namespace glassbench;

long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// Start-up without an operator: boxes are answered at once, the pause is not waited.
class NoOperator final : public ui::Toolkit {
  public:
    void ShowMessage(ui::WindowHandle, std::string_view, std::string_view,
                     ui::MessageIcon) override {}
    void BeginBusyCursor() override {}
    void EndBusyCursor() override {}
    void Pause(std::chrono::milliseconds) override {}
};

int Child(int argc, char** argv) {
    QApplication application(argc, argv);
    NoOperator toolkit;
    serial::PortNames names;
    const std::filesystem::path nowhere =
        std::filesystem::temp_directory_path() / "glassbench-bench-no-such-port";
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = (nowhere / std::to_string(i)).string();
    }
    serial::SerialLink link(serial::CreatePlatformSerialSystem(), names, &toolkit);
    ui::qt::QtPanelWindow dialog(link, toolkit);
    dialog.Logic().OnInitDialog();
    dialog.show();
    while (dialog.windowHandle() == nullptr || !dialog.windowHandle()->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    QCoreApplication::processEvents();
    std::printf("%lld\n", MonotonicNs());
    return 0;
}

// Runs the child and returns its start-to-shown time in milliseconds, or -1.
double RunOnce(const char* self) {
    const long long start = MonotonicNs();
    const testing::ProcessResult child =
        testing::Process(self, {"--child"}).Finish(std::chrono::seconds(60));
    if (child.exitCode != 0 || child.out.empty()) {
        return -1;
    }
    return static_cast<double>(std::atoll(child.out.c_str()) - start) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    // Set up once in the parent; the children inherit it.
    const glassbench::bench::BenchEnvironment environment;
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        return Child(argc, argv);
    }
    int runs = 21;
    if (argc > 2 && std::strcmp(argv[1], "--runs") == 0) {
        runs = std::max(1, std::atoi(argv[2]));
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = RunOnce(argv[0]);
        if (ms < 0) {
            std::fprintf(stderr, "ui_startup_bench: the child run failed\n");
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("process start to dialog shown (offscreen, no port opened), %d runs:\n", runs);
    std::printf("  median %.1f ms   min %.1f ms   max %.1f ms   (target: median <= 100 ms)\n",
                times[times.size() / 2], times.front(), times.back());
    return 0;
}
