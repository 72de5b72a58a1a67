// glassbench.exe, the Windows window, under Wine on a real X server (Xvfb), driven through
// XTEST as a person at the keyboard and mouse would drive it, from Linux: the start-up step
// opens the virtual module that GLASSBENCH_PORTS names and confirms it in a message box that
// Return dismisses; Escape leaves the dialog open; a Down key in the open Command list moves
// the focus to Data and chooses nothing; a click on "Send data" puts the Clear Screen frame on
// the wire and into both transcripts; Alt+Space opens the system menu, whose last item brings
// up the About box; Alt+F4 ends the program.
//
// The check sees the windows on the X server (titles, places, the keyboard focus), waiting on
// its events; what only Windows knows (a control's text, place, selection, the focused
// control) it reads with window_probe.exe, run in the same Wine prefix. A probe answers at
// once, before the program may have taken the keys given last, so a probe that waits for an
// effect is run again until the answer comes or its deadline passes. The picture of the dialog
// after the send is saved where the command line says (ImageMagick's import).
//
// Usage, under tests/wine/run_on_xvfb.sh:
//   wine_window_check [GTEST OPTIONS] GLASSBENCH.EXE WINDOW_PROBE.EXE [SCREENSHOT.png]
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RunProcess.h"
#include "TempDir.h"
#include "XInput.h"
#include "XWindows.h"

namespace glassbench::ui::testing {
namespace {

using namespace std::chrono_literals;
using glassbench::testing::Process;
using glassbench::testing::ProcessResult;
using glassbench::testing::RunProcess;
using xwindows::TopLevel;
using xwindows::TopLevels;
using Clock = std::chrono::steady_clock;

const std::string kWineRun = GLASSBENCH_SOURCE_DIR "/scripts/wine-run.sh";
const std::string kDialog = "Glassbench +";
const std::string kClear = "AA 04 80 00 2E ";
std::string g_program;
std::string g_probe;
std::string g_screenshot;

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// What window_probe answers for the dialog titled `title`; "" when it fails.
std::string Probe(const std::string& title, const std::vector<std::string>& request) {
    std::vector<std::string> args{g_probe, title};
    args.insert(args.end(), request.begin(), request.end());
    const ProcessResult result = RunProcess(kWineRun, args);
    return result.exitCode == 0 ? result.out : "";
}

// Probes until the answer is `expected` or `within` has passed; returns the last answer.
std::string ProbeUntil(const std::vector<std::string>& request, const std::string& expected,
                       std::chrono::milliseconds within = 10s) {
    const auto deadline = Clock::now() + within;
    std::string answer = Probe(kDialog, request);
    while (answer != expected && Clock::now() < deadline) {
        answer = Probe(kDialog, request);
    }
    return answer;
}

Rect ControlRect(int id) {
    std::istringstream answer(Probe(kDialog, {"rect", std::to_string(id)}));
    Rect rect;
    answer >> rect.left >> rect.top >> rect.right >> rect.bottom;
    return rect;
}

void ClickCentreOf(const Rect& rect) {
    xinput::Click((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

// The untitled windows on the screen: dropped-down lists and popup menus.
std::set<unsigned long> Popups(const TopLevels& windows) {
    std::set<unsigned long> popups;
    for (const TopLevel& window : windows) {
        if (window.title.empty()) {
            popups.insert(window.id);
        }
    }
    return popups;
}

// Waits for a popup that was not there before; 0 if none comes by `deadline`.
unsigned long WaitForNewPopup(const std::set<unsigned long>& before, xwindows::Deadline deadline) {
    unsigned long popup = 0;
    xwindows::WaitFor(
        [&](const TopLevels& windows) {
            for (const unsigned long id : Popups(windows)) {
                if (before.count(id) == 0) {
                    popup = id;
                }
            }
            return popup != 0;
        },
        deadline);
    return popup;
}

bool WaitUntilClosed(unsigned long popup, xwindows::Deadline deadline) {
    return xwindows::WaitFor(
        [&](const TopLevels& windows) { return Popups(windows).count(popup) == 0; }, deadline);
}

// The windows on the screen, for a failure's message.
std::string Describe(const TopLevels& windows) {
    std::ostringstream text;
    for (const TopLevel& window : windows) {
        text << "\n  \"" << window.title << "\" " << window.width << "x" << window.height << "+"
             << window.x << "+" << window.y << (window.focused ? " (focused)" : "");
    }
    return text.str();
}

// The window as the screen shows it, or the whole screen for a window with no size.
bool SaveScreenshot(const TopLevel& window, const std::string& path) {
    std::filesystem::create_directories(std::filesystem::absolute(path).parent_path());
    std::vector<std::string> args{"import", "-window", "root"};
    if (window.width > 0) {
        args.insert(args.end(),
                    {"-crop",
                     std::to_string(window.width) + "x" + std::to_string(window.height) + "+" +
                         std::to_string(window.x) + "+" + std::to_string(window.y),
                     "+repage"});
    }
    args.push_back(path);
    // ImageMagick's import, found on PATH.
    return RunProcess("/usr/bin/env", args).exitCode == 0;
}

// Saves the whole screen beside the picture when the test has failed by the time it goes; made
// after the program, so that it goes while the program still shows what went wrong.
struct ScreenOnFailure {
    ~ScreenOnFailure() {
        if (::testing::Test::HasFailure() && !g_screenshot.empty()) {
            SaveScreenshot(
                {}, std::filesystem::path(g_screenshot).replace_extension(".failed.png").string());
        }
    }
};

TEST(WineWindow, ConfirmsThePortTakesTheKeysSendsAndShowsTheAboutBox) {
    ASSERT_TRUE(xinput::Usable() && xwindows::Usable()) << "no X display or no XTEST";
    glassbench::testing::TempDir scratch;
    // A name that no code page but UTF-8 holds whole: the manifest makes the program's ANSI
    // code page UTF-8, so it reaches CreateFileA and the message box unchanged.
    const std::string link = (scratch.path() / "modul\u00e9-\u6a21\u5757").string();
    Process module(GLASSBENCH_CLI, {"module", "--link", link});
    ASSERT_TRUE(module.WaitFor(" -> ", 10s)) << module.err();
    // Started in an empty folder: no Scom.ini, so the built-in presets.
    Process app(kWineRun, {g_program}, scratch.path(), {"GLASSBENCH_PORTS=" + link});
    const ScreenOnFailure screen;

    // The start-up step confirms the port before the dialog is shown. The first program of a
    // fresh Wine server also starts Wine's desktop, which takes a while.
    const TopLevel box = xwindows::WaitForFocused("Orvane Glassbench", Clock::now() + 60s);
    ASSERT_NE(box.id, 0u) << "no confirmation box with the focus; the screen shows:"
                          << Describe(xwindows::Viewable()) << "\nthe program said: " << app.err();
    EXPECT_EQ(Probe("Orvane Glassbench", {"text", "65535"}),
              "Port " + link + " opened at 9600 baud.\n");
    xinput::Key("Return");
    ASSERT_TRUE(xwindows::WaitUntilGone("Orvane Glassbench", Clock::now() + 10s));

    const TopLevel dialog = xwindows::WaitForFocused(kDialog, Clock::now() + 10s);
    ASSERT_NE(dialog.id, 0u) << "no dialog titled \"" << kDialog << "\"";
    ASSERT_EQ(ProbeUntil({"focus"}, "1009\n"), "1009\n") << "the focus does not start on Data";

    // A digit typed after Escape arrives only if the dialog stayed open.
    const std::string data = Probe(kDialog, {"text", "1009"});
    ASSERT_FALSE(data.empty());
    xinput::Key("End"), xinput::Key("Escape"), xinput::Key("5");
    const std::string typed = data.substr(0, data.size() - 1) + "5\n";
    EXPECT_EQ(ProbeUntil({"text", "1009"}, typed), typed);

    ClickCentreOf(ControlRect(1035));
    EXPECT_TRUE(module.WaitFor("Clear Screen data=[00] checksum=2E good -> status 0\n", 10s))
        << module.out();
    EXPECT_EQ(ProbeUntil({"text", "1010", "1029"}, kClear + "\n" + kClear + "\n"),
              kClear + "\n" + kClear + "\n");

    // Down in the open Command list: the focus goes to Data, the list closes, nothing chosen.
    auto popups = Popups(xwindows::Viewable());
    ClickCentreOf(ControlRect(1004));
    const unsigned long list = WaitForNewPopup(popups, Clock::now() + 10s);
    ASSERT_NE(list, 0u) << "the list did not open";
    xinput::Key("Down");
    EXPECT_TRUE(WaitUntilClosed(list, Clock::now() + 10s)) << "the list stayed open";
    EXPECT_EQ(ProbeUntil({"focus"}, "1009\n"), "1009\n");
    EXPECT_EQ(Probe(kDialog, {"selection", "1004"}), "0\n");

    if (!g_screenshot.empty()) {
        EXPECT_TRUE(SaveScreenshot(dialog, g_screenshot)) << g_screenshot;
    }

    // The system menu's last item is the About box.
    popups = Popups(xwindows::Viewable());
    xinput::KeyWith("Alt_L", "space");
    const unsigned long menu = WaitForNewPopup(popups, Clock::now() + 10s);
    ASSERT_NE(menu, 0u) << "no system menu";
    xinput::Key("Up"), xinput::Key("Return");
    EXPECT_TRUE(WaitUntilClosed(menu, Clock::now() + 10s));
    ASSERT_NE(xwindows::WaitForFocused("About Glassbench", Clock::now() + 10s).id, 0u)
        << "no About box with the focus; the screen shows:" << Describe(xwindows::Viewable());
    xinput::Key("Return");
    ASSERT_TRUE(xwindows::WaitUntilGone("About Glassbench", Clock::now() + 10s));

    ASSERT_NE(xwindows::WaitForFocused(kDialog, Clock::now() + 10s).id, 0u);
    xinput::KeyWith("Alt_L", "F4");
    EXPECT_EQ(app.Finish(20s).exitCode, 0) << app.err();
    EXPECT_EQ(module.out().find("garbage"), std::string::npos) << module.out();
}

}  // namespace
}  // namespace glassbench::ui::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr,
                     "usage: wine_window_check [GTEST OPTIONS] GLASSBENCH.EXE WINDOW_PROBE.EXE "
                     "[SCREENSHOT.png]\n");
        return 2;
    }
    using namespace glassbench::ui::testing;
    // The program runs in a folder of its own.
    g_program = std::filesystem::absolute(argv[1]).string();
    g_probe = std::filesystem::absolute(argv[2]).string();
    g_screenshot = argc > 3 ? argv[3] : "";
    return RUN_ALL_TESTS();
}
