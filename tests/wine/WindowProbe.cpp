// window_probe: what a check that drives a Windows program from outside cannot read on the X
// server, a dialog's controls. It runs under Wine in the program's own prefix:
//
//   window_probe TITLE text ID...     each control's text, a line each
//   window_probe TITLE selection ID   a list's selection, -1 for none
//   window_probe TITLE rect ID        a control's place on the screen: left top right bottom
//   window_probe TITLE focus          the id of the control with the keyboard focus
//
// The dialog is found by its title. Texts are read with WM_GETTEXT, which the system carries
// from one process to another (GetWindowText does not read another process's controls), and
// printed in UTF-8; every message is sent with a time limit, so a dialog that is busy fails the
// probe instead of hanging it. The probe is DPI aware, as the program is, so that places are
// the screen's pixels at any DPI. Exit status 1 when the dialog or a control is missing or does
// not answer, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr UINT kAnswerWithinMs = 5000;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerWithinMs,
                               &result) != 0;
}

bool PrintText(HWND control) {
    DWORD_PTR length = 0;
    if (!Send(control, WM_GETTEXTLENGTH, 0, 0, length)) {
        return false;
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!Send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied)) {
        return false;
    }
    const int size = static_cast<int>(copied);
    std::string utf8(static_cast<std::size_t>(size) * 3, '\0');
    utf8.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr)));
    std::printf("%s\n", utf8.c_str());
    return true;
}

int Run(HWND dialog, const char* what, int argc, char** argv) {
    if (std::strcmp(what, "focus") == 0) {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) ||
            info.hwndFocus == nullptr) {
            return 1;
        }
        std::printf("%d\n", GetDlgCtrlID(info.hwndFocus));
        return 0;
    }
    if (argc < 1) {
        return 2;
    }
    for (int i = 0; i < argc; ++i) {
        const HWND control = GetDlgItem(dialog, std::atoi(argv[i]));
        if (control == nullptr) {
            return 1;
        }
        if (std::strcmp(what, "text") == 0) {
            if (!PrintText(control)) {
                return 1;
            }
        } else if (std::strcmp(what, "selection") == 0) {
            DWORD_PTR selection = 0;
            if (!Send(control, CB_GETCURSEL, 0, 0, selection)) {
                return 1;
            }
            std::printf("%d\n", static_cast<int>(static_cast<LRESULT>(selection)));
        } else if (std::strcmp(what, "rect") == 0) {
            RECT rect;
            GetWindowRect(control, &rect);
            std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        } else {
            return 2;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_probe TITLE text|selection|rect|focus [ID...]\n");
        return 2;
    }
    SetProcessDPIAware();
    const HWND dialog = FindWindowA("#32770", argv[1]);
    if (dialog == nullptr) {
        std::fprintf(stderr, "window_probe: no dialog titled \"%s\"\n", argv[1]);
        return 1;
    }
    const int status = Run(dialog, argv[2], argc - 3, argv + 3);
    std::fflush(stdout);
    return status;
}
