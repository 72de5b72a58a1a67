// The Windows window's own checks, run in a process with glassbench.exe's resources under Wine
// on Xvfb at the prefix's DPI (run_on_xvfb.sh, GLASSBENCH_WINE_DPI): the operator dialog and
// the About box come up made for that DPI with no text cut, and the fields carry the logic's
// Latin-1 texts whatever the code page. The About box is looked at through a message hook once
// it has done WM_INITDIALOG, and closed.
// The DPI it expects is GLASSBENCH_WINE_DPI's, which Wine passes on.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "serial/PortTables.h"
#include "ui/DialogTemplate.h"
#include "ui/win32/DialogBuilder.h"
#include "ui/win32/Dpi.h"
#include "ui/win32/Win32PanelWindow.h"

namespace glassbench::ui::win32 {
namespace {

const UINT g_dpi = [] {
    const char* dpi = std::getenv("GLASSBENCH_WINE_DPI");
    return static_cast<UINT>(dpi != nullptr ? std::atoi(dpi) : 0);
}();

LONG TextWidth(HWND window, const std::wstring& text) {
    const WindowDC dc(window, reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)));
    return TextExtent(dc.Get(), text).cx;
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

// The dialog's shown labels, buttons and lists (but the Port list, which elides device paths
// at their start) that cut their text, as "ID needs N px, has M".
std::vector<std::string> CutControls(HWND dialog) {
    std::vector<std::string> cut;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring kind = ClassName(child);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        RECT room;
        ::GetClientRect(child, &room);
        LONG needed = 0;
        if (kind == L"ComboBox" && ::GetDlgCtrlID(child) != kIdcPort) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof(info);
            ::GetComboBoxInfo(child, &info);
            room = info.rcItem;
            for (int i = 0; i < ::SendMessageW(child, CB_GETCOUNT, 0, 0); ++i) {
                needed = std::max(needed, TextWidth(child, ListEntry(child, i)) + 2);
            }
        } else if (kind == L"Static" && (style & SS_TYPEMASK) != SS_ICON) {
            needed = TextWidth(child, WindowText(child));
        } else if (kind == L"Button" && (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON) {
            needed = TextWidth(child, WindowText(child)) + 2 * MetricForDpi(SM_CXEDGE, g_dpi);
        }
        if ((style & WS_VISIBLE) && needed > room.right - room.left) {
            cut.push_back(std::to_string(::GetDlgCtrlID(child)) + " needs " +
                          std::to_string(needed) + " px, has " +
                          std::to_string(room.right - room.left));
        }
    }
    return cut;
}

HWND IconControl(HWND dialog) {
    HWND child = ::GetWindow(dialog, GW_CHILD);
    while (child && (ClassName(child) != L"Static" ||
                     (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)) {
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
    return child;
}

// Its DPI, its 8-point font at that DPI, the icon control's icon at the DPI's size, no cut text.
void ExpectMadeForTheDpi(HWND dialog, const DialogTemplate& dialogTemplate) {
    EXPECT_EQ(WindowDpi(dialog), g_dpi);
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font),
                 &font);
    EXPECT_EQ(font.lfHeight, -::MulDiv(dialogTemplate.fontPointSize, g_dpi, 72));
    ICONINFO icon{};
    BITMAP image{};
    ASSERT_TRUE(::GetIconInfo(
        reinterpret_cast<HICON>(::SendMessageW(IconControl(dialog), STM_GETICON, 0, 0)), &icon));
    ::GetObjectW(icon.hbmColor, sizeof(image), &image);
    ::DeleteObject(icon.hbmColor);
    ::DeleteObject(icon.hbmMask);
    EXPECT_EQ(image.bmWidth, ::MulDiv(32, g_dpi, USER_DEFAULT_SCREEN_DPI));
    EXPECT_EQ(CutControls(dialog), std::vector<std::string>{});
}

LRESULT CALLBACK OnAboutBox(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_INITDIALOG &&
        WindowText(message->hwnd) == L"About Glassbench") {
        ExpectMadeForTheDpi(message->hwnd, AboutDialogTemplate());
        ::PostMessageW(message->hwnd, WM_COMMAND, IDCANCEL, 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The operator dialog, run by the window with `check` in place of the logic's start-up (no
// port search, no message box), on the platform's ports; `check` closes it.
void RunDialog(
    const std::function<void(Win32PanelWindow&, const serial::SerialLink&, HWND)>& check) {
    Win32Toolkit toolkit;
    serial::SerialLink link(serial::CreatePlatformSerialSystem(), serial::PortNameTable(),
                            &toolkit);
    Win32PanelWindow window(link, toolkit);
    window.RunModal([&] { check(window, link, OwnerWindow(window.Owner())); });
}

TEST(Win32Window, IsMadeForTheScreensDpiAndItsFieldsCarryLatin1) {
    ASSERT_NE(g_dpi, 0u) << "no GLASSBENCH_WINE_DPI";
    RunDialog([](Win32PanelWindow& window, const serial::SerialLink&, HWND dialog) {
        window.SetIconsAndFonts();
        ExpectMadeForTheDpi(dialog, OperatorDialogTemplate());
        // The Data Send transcript's font: equal advances, the stock font's height scaled.
        const HWND sendLog = ::GetDlgItem(dialog, kIdcSendLog);
        EXPECT_EQ(TextWidth(sendLog, L"i"), TextWidth(sendLog, L"W"));
        const auto height = [&](HGDIOBJ font) {
            TEXTMETRICW metrics{};
            ::GetTextMetricsW(WindowDC(sendLog, static_cast<HFONT>(font)).Get(), &metrics);
            return metrics.tmHeight;
        };
        const LONG stock = height(::GetStockObject(ANSI_FIXED_FONT));
        EXPECT_NEAR(height(reinterpret_cast<HGDIOBJ>(::SendMessageW(sendLog, WM_GETFONT, 0, 0))),
                    ::MulDiv(stock, g_dpi, USER_DEFAULT_SCREEN_DPI), stock / 4);

        const HHOOK hook =
            ::SetWindowsHookExW(WH_CALLWNDPROCRET, &OnAboutBox, nullptr, ::GetCurrentThreadId());
        window.ShowAboutBox();
        ::UnhookWindowsHookEx(hook);

        // A character Latin-1 lacks is read as '?', one byte, as the Qt window reads it.
        window.SetFieldText(kIdcData, "\xE9 1");
        EXPECT_EQ(WindowText(::GetDlgItem(dialog, kIdcData)), L"\u00e9 1");
        ::SetWindowTextW(::GetDlgItem(dialog, kIdcData), L"\u4e2d1 \u00e92");
        EXPECT_EQ(window.FieldText(kIdcData), std::string("?1 \xE9") + "2");
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
}

// The Port list's tooltip asks the logic for its text as it shows: the selected entry's port in
// full, and nothing with none selected.
TEST(Win32Window, ThePortListsTooltipNamesTheSelectedPort) {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    RunDialog([](Win32PanelWindow& window, const serial::SerialLink& link, HWND dialog) {
        std::pair<HWND, HWND> tip(dialog, nullptr);
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND candidate, LPARAM result) {
                auto& found = *reinterpret_cast<std::pair<HWND, HWND>*>(result);
                if (::GetWindow(candidate, GW_OWNER) == found.first &&
                    ClassName(candidate) == TOOLTIPS_CLASSW) {
                    found.second = candidate;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&tip));
        // Closed before anything is checked, so that a failed check cannot leave the dialog
        // running.
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        ASSERT_NE(tip.second, nullptr);
        const auto text = [&] {
            wchar_t buffer[512] = {};
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.hwnd = dialog;
            tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(dialog, kIdcPort));
            tool.lpszText = buffer;
            ::SendMessageW(tip.second, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
            return std::wstring(buffer);
        };
        window.Select(kIdcPort, 12);
        const std::wstring shown = text();
        EXPECT_EQ(shown.substr(0, shown.find(L'\n')), Utf16(link.PortName(12)));
        window.Select(kIdcPort, -1);
        EXPECT_EQ(text(), L"");
    });
}

}  // namespace
}  // namespace glassbench::ui::win32
