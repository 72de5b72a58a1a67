// The two operator windows side by side on one X server (Xvfb): how long each takes from
// process start to its first message box and to its dialog, the Windows window under Wine and
// the Qt window on xcb, measured the same way; and the sizes of the Windows programs.
//
// Every run starts the program with thirty port names that do not exist (GLASSBENCH_PORTS),
// so the port search fails at once, with no line pulse and no pause, and ends in the box
// "Could not open any of the serial ports.", titled "Error". The clock starts just before the
// spawn (the Windows program through scripts/wine-run.sh, with its prefix's server already
// running); "box" is when a window titled "Error" is on the screen with the keyboard focus,
// "dialog" when, after Return, "Glassbench +" is. Then the program is closed: Alt+F4 for the
// Windows window (Wine 8 runs no console control handler of a GUI program on SIGINT), SIGINT,
// a stop request, for the Qt window (with no window manager on Xvfb, nothing acts on Alt+F4
// there). The first start of each program is shown apart (see Measure). Medians, and Wine
// over Qt.
//
// Usage, under tests/wine/run_on_xvfb.sh:
//   window_startup_bench [--runs N] GLASSBENCH.EXE GLASSBENCH-CLI.EXE
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "RunProcess.h"
#include "TempDir.h"
#include "XInput.h"
#include "XWindows.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace xinput = glassbench::ui::testing::xinput;
namespace xwindows = glassbench::ui::testing::xwindows;

using xwindows::Deadline;
using xwindows::TopLevels;

std::set<unsigned long> OnScreen() {
    std::set<unsigned long> ids;
    for (const auto& window : xwindows::Viewable()) {
        ids.insert(window.id);
    }
    return ids;
}

// A window titled `title` that was not on the screen before, once it has the keyboard focus.
bool WaitForNewFocused(const std::string& title, const std::set<unsigned long>& before,
                       Deadline deadline) {
    return xwindows::WaitFor(
        [&](const TopLevels& windows) {
            return std::any_of(windows.begin(), windows.end(), [&](const auto& window) {
                return window.title == title && window.focused && before.count(window.id) == 0;
            });
        },
        deadline);
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A program started and brought up to its dialog, with the times it took.
struct Run {
    std::unique_ptr<glassbench::testing::Process> process;
    double boxMs = -1;
    double dialogMs = -1;
};

Run Start(const std::string& program, const std::vector<std::string>& args,
          const std::vector<std::string>& env) {
    Run run;
    const std::set<unsigned long> before = OnScreen();
    const Clock::time_point start = Clock::now();
    run.process =
        std::make_unique<glassbench::testing::Process>(program, args, std::filesystem::path{}, env);
    if (!WaitForNewFocused("Error", before, start + 60s)) {
        return run;
    }
    run.boxMs = MsSince(start);
    xinput::Key("Return");
    if (WaitForNewFocused("Glassbench +", before, Clock::now() + 30s)) {
        run.dialogMs = MsSince(start);
    }
    return run;
}

enum class Close { AltF4, Interrupt };

void Stop(Run& run, Close close) {
    if (close == Close::AltF4) {
        xinput::KeyWith("Alt_L", "F4");  // the dialog that was brought up last has the focus
    } else {
        run.process->Signal(SIGINT);
    }
    run.process->Finish(10s);  // killed if it has not stopped by then
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Figures {
    double firstBox = 0;
    double firstDialog = 0;
    std::vector<double> box;
    std::vector<double> dialog;
};

bool Measure(const char* name, int runs, const std::string& program,
             const std::vector<std::string>& args, const std::vector<std::string>& env, Close close,
             Figures& figures) {
    // The first start reads the files into the page cache and, under Wine, starts Wine's
    // desktop process. It stays open while the others are measured, as any Windows program
    // would keep the desktop up: Wine shuts the desktop down some seconds after the last
    // program ends, and a start in that time waits for it, by anything up to ten seconds.
    Run first = Start(program, args, env);
    figures.firstBox = first.boxMs;
    figures.firstDialog = first.dialogMs;
    for (int i = 0; i < runs && first.dialogMs >= 0; ++i) {
        Run run = Start(program, args, env);
        if (run.dialogMs < 0) {
            break;
        }
        figures.box.push_back(run.boxMs);
        figures.dialog.push_back(run.dialogMs);
        Stop(run, close);
    }
    if (figures.dialog.size() != static_cast<std::size_t>(runs)) {
        std::fprintf(stderr, "window_startup_bench: %s did not come up\n", name);
        return false;
    }
    return true;
}

void Print(const char* name, const Figures& figures) {
    const auto [least, most] = std::minmax_element(figures.dialog.begin(), figures.dialog.end());
    std::printf("  %-27s box %7.1f ms   dialog %7.1f ms   (dialog %.1f to %.1f ms)\n", name,
                Median(figures.box), Median(figures.dialog), *least, *most);
    std::printf("  %-27s first start: box %.1f ms, dialog %.1f ms\n", "", figures.firstBox,
                figures.firstDialog);
}

// The file's size, and without its debug information, in KiB.
void PrintSize(const std::string& exe, const glassbench::testing::TempDir& scratch) {
    const auto stripped = scratch.path() / std::filesystem::path(exe).filename();
    const auto result = glassbench::testing::RunProcess(
        "/usr/bin/env", {"x86_64-w64-mingw32-strip", "-o", stripped.string(), exe});
    std::printf("  %-18s %6ju KiB as built, %6ju KiB stripped\n",
                std::filesystem::path(exe).filename().string().c_str(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(exe) / 1024),
                result.exitCode == 0
                    ? static_cast<std::uintmax_t>(std::filesystem::file_size(stripped) / 1024)
                    : std::uintmax_t{0});
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--runs") == 0) {
        runs = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    if (argc - first != 2) {
        std::fprintf(stderr,
                     "usage: window_startup_bench [--runs N] GLASSBENCH.EXE GLASSBENCH-CLI.EXE\n");
        return 2;
    }
    if (!xinput::Usable() || !xwindows::Usable()) {
        std::fprintf(stderr, "window_startup_bench: no X display or no XTEST\n");
        return 1;
    }
    const std::string exe = std::filesystem::absolute(argv[first]).string();
    const std::string cliExe = std::filesystem::absolute(argv[first + 1]).string();

    const glassbench::testing::TempDir scratch;
    std::string windowsPorts;
    std::string linuxPorts;
    for (int i = 0; i < 30; ++i) {
        const std::string name = (scratch.path() / ("no-port-" + std::to_string(i))).string();
        windowsPorts += (i > 0 ? ";" : "") + name;
        linuxPorts += (i > 0 ? ":" : "") + name;
    }

    Figures wine;
    Figures qt;
    if (!Measure("glassbench.exe", runs, GLASSBENCH_SOURCE_DIR "/scripts/wine-run.sh", {exe},
                 {"GLASSBENCH_PORTS=" + windowsPorts}, Close::AltF4, wine) ||
        !Measure("glassbench", runs, GLASSBENCH_QT_WINDOW, {},
                 {"GLASSBENCH_PORTS=" + linuxPorts, "QT_QPA_PLATFORM=xcb"}, Close::Interrupt, qt)) {
        return 1;
    }
    std::printf(
        "process start to the first message box and to the dialog, on Xvfb, no port "
        "opened, median of %d runs each:\n",
        runs);
    Print("glassbench.exe under Wine", wine);
    Print("glassbench (Qt, xcb)", qt);
    std::printf("  %-27s box %7.2f      dialog %7.2f\n", "Wine / Qt",
                Median(wine.box) / Median(qt.box), Median(wine.dialog) / Median(qt.dialog));
    std::printf("sizes of the Windows programs:\n");
    PrintSize(exe, scratch);
    PrintSize(cliExe, scratch);
    return 0;
}
