#include "ui/win32/Win32PanelWindow.h"

#include <commctrl.h>

#include <utility>

#include "ui/DialogTemplate.h"
#include "ui/win32/AboutDlg.h"
#include "ui/win32/DialogBuilder.h"
#include "ui/win32/Dpi.h"
#include "ui/win32/KeyboardFilter.h"

namespace glassbench::ui::win32 {

namespace {

// Fixed size, caption, system menu and minimise box; no maximise box. Centred on the screen
// from the start, so that the start-up message box, shown before the dialog, comes up where
// the dialog will.
constexpr DWORD kDialogStyle =
    DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Posted to the dialog by the thread-pool wait on the stop request.
constexpr UINT kQuitMessage = WM_APP + 1;
// Posted to itself on WM_DPICHANGED, to run once the dialog manager has scaled the dialog.
constexpr UINT kDpiChangedMessage = WM_APP + 2;

// The window whose modal run the message hook serves (there is one at a time).
Win32PanelWindow* g_modalWindow = nullptr;

bool IsPagingKey(WPARAM key) {
    return key == VK_HOME || key == VK_END || key == VK_PRIOR || key == VK_NEXT;
}

// A closed Port or Speed list keeps its entry until the operator drops it down.
LRESULT CALLBACK ChooseOnlyFromDropDown(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(list, &ChooseOnlyFromDropDown, id);
    }
    // The dropped state is asked only for these: the question is itself a message to the list.
    const bool changesEntry = message == WM_MOUSEWHEEL || message == WM_CHAR ||
                              (message == WM_KEYDOWN && IsPagingKey(wParam));
    if (changesEntry && ::SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0) == FALSE) {
        return 0;
    }
    return ::DefSubclassProc(list, message, wParam, lParam);
}

// On a thread of the pool: the dialog's own thread does the rest.
void CALLBACK OnQuitEvent(void* dialog, BOOLEAN) {
    ::PostMessageW(static_cast<HWND>(dialog), kQuitMessage, 0, 0);
}

}  // namespace

Win32PanelWindow::Win32PanelWindow(serial::SerialLink& link, Win32Toolkit& toolkit)
    : link_(link), toolkit_(toolkit), logic_(*this, link, toolkit) {}

Win32PanelWindow::~Win32PanelWindow() = default;

WindowHandle Win32PanelWindow::Owner() const {
    return OwnerHandle(dialog_);
}

void Win32PanelWindow::RunModal(const std::function<void()>& initialise) {
    const DialogTemplateMemory memory(OperatorDialogTemplate(), kDialogStyle);
    initialise_ = &initialise;
    g_modalWindow = this;
    {
        const UniqueHook hook(
            ::SetWindowsHookExW(WH_MSGFILTER, &MessageFilter, nullptr, ::GetCurrentThreadId()));
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), memory.Get(), nullptr, &DialogProc,
                                  reinterpret_cast<LPARAM>(this));
    }
    g_modalWindow = nullptr;
    initialise_ = nullptr;
    dialog_ = nullptr;
    portTip_ = nullptr;
}

INT_PTR CALLBACK Win32PanelWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32PanelWindow*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->dialog_ = dialog;
        self->OnInitDialog();
        return FALSE;  // the logic has put the focus on Data
    }
    if (message == WM_MEASUREITEM) {
        // Sent while the controls are created, before WM_INITDIALOG.
        MeasureListEntry(dialog, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
    }
    auto* self = reinterpret_cast<Win32PanelWindow*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR Win32PanelWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_SYSCOMMAND:
            sysCommandAt_ = lParam;
            logic_.OnSystemCommand(static_cast<std::uint16_t>(wParam));
            return TRUE;
        case WM_CLOSE:
            ::EndDialog(dialog_, IDCANCEL);
            return TRUE;
        case WM_DRAWITEM:
            DrawListEntry(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_NOTIFY: {
            auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            if (tip->hdr.hwndFrom != portTip_ || tip->hdr.code != TTN_GETDISPINFOW) {
                return FALSE;
            }
            // Kept until the next tip: the tooltip reads it after this returns.
            portTipText_ = Utf16(logic_.PortToolTip());
            tip->lpszText = portTipText_.data();
            return TRUE;
        }
        case WM_SETCURSOR:
            if (toolkit_.Busy()) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
                ::SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case kQuitMessage:
            toolkit_.Quit();
            ::EndDialog(dialog_, IDCANCEL);
            return TRUE;
        case WM_DPICHANGED:
            // The dialog manager scales the dialog (Windows 10 1703 and later, per-monitor v2):
            // the window, its controls and their font. The rest follows once it has.
            ::PostMessageW(dialog_, kDpiChangedMessage, 0, 0);
            return FALSE;
        case kDpiChangedMessage:
            SetIconsAndFonts();
            FitControls(dialog_, OperatorDialogTemplate());
            MatchPortListHeight();
            return TRUE;
        case WM_DESTROY:
            quitWait_.Reset();
            return FALSE;
        default:
            return FALSE;
    }
}

void Win32PanelWindow::OnInitDialog() {
    CompleteControls(dialog_, OperatorDialogTemplate(), link_.Names());
    MatchPortListHeight();
    for (const int id : {kIdcSendLog, kIdcRecvLog}) {
        // A bench session outgrows an edit control's default 32K characters.
        ::SendMessageW(Control(id), EM_SETLIMITTEXT, 0, 0);
    }
    for (const int id : {kIdcPort, kIdcSpeed}) {
        ::SetWindowSubclass(Control(id), &ChooseOnlyFromDropDown, 0, 0);
    }
    AddPortToolTip();
    HANDLE wait = nullptr;
    if (quitEvent_ != nullptr &&
        ::RegisterWaitForSingleObject(&wait, quitEvent_, &OnQuitEvent, dialog_, INFINITE,
                                      WT_EXECUTEONLYONCE)) {
        quitWait_.Reset(wait);
    }
    (*initialise_)();
}

void Win32PanelWindow::AddPortToolTip() {
    portTip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog_, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (portTip_ == nullptr) {
        return;  // a window without tooltips works as well
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdcPort));
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(portTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // A tip breaks its lines only where it is given a width; as wide as the screen, it breaks
    // them where the text does.
    ::SendMessageW(portTip_, TTM_SETMAXTIPWIDTH, 0, ::GetSystemMetrics(SM_CXSCREEN));
}

// The owner-drawn Port list stands as high as the Speed list beside it.
void Win32PanelWindow::MatchPortListHeight() {
    for (const WPARAM part : {static_cast<WPARAM>(-1), WPARAM{0}}) {
        ::SendMessageW(Control(kIdcPort), CB_SETITEMHEIGHT, part,
                       ::SendMessageW(Control(kIdcSpeed), CB_GETITEMHEIGHT, part, 0));
    }
}

bool Win32PanelWindow::OnCommand(int id, int notification) {
    switch (id) {
        case kIdcSendData:
            if (notification == BN_CLICKED) {
                logic_.OnSendData();
            }
            return true;
        case kIdcClearDisplay:
            if (notification == BN_CLICKED) {
                logic_.OnClearDisplay();
            }
            return true;
        case kIdcPort:
        case kIdcSpeed:
            if (notification == CBN_CLOSEUP) {
                logic_.OnPortOrSpeedCloseUp();
            }
            return true;
        case kIdcCommand:
            if (notification == CBN_SELCHANGE) {
                logic_.OnCommandSelected();
            }
            return true;
        case IDOK:
        case IDCANCEL:
            // Enter and Escape never end the dialog; WM_CLOSE does.
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK Win32PanelWindow::MessageFilter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && g_modalWindow != nullptr &&
        g_modalWindow->PreTranslateMessage(*reinterpret_cast<const MSG*>(lParam))) {
        return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool Win32PanelWindow::PreTranslateMessage(const MSG& message) {
    // Message boxes and the About box are dialogs of their own and keep their keys.
    if (dialog_ == nullptr || (message.hwnd != dialog_ && !::IsChild(dialog_, message.hwnd))) {
        return false;
    }
    if (!IsDialogNavigationMessage(message.message, message.wParam, CurrentModifiers())) {
        return false;
    }
    Focus(kIdcData);
    return true;
}

std::string Win32PanelWindow::FieldText(int id) const {
    return Latin1(WindowText(Control(id)));
}

void Win32PanelWindow::SetFieldText(int id, std::string_view text) {
    ::SetWindowTextW(Control(id), FromLatin1(text).c_str());
}

int Win32PanelWindow::Selection(int id) const {
    const HWND list = Control(id);
    if ((::GetWindowLongW(list, GWL_STYLE) & CBS_DROPDOWNLIST) == CBS_DROPDOWN) {
        // What the operator typed names the entry, regardless of case.
        const std::wstring typed = WindowText(list);
        if (typed.empty()) {
            return -1;
        }
        return static_cast<int>(::SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(typed.c_str())));
    }
    return static_cast<int>(::SendMessageW(list, CB_GETCURSEL, 0, 0));
}

void Win32PanelWindow::Select(int id, int index) {
    ::SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32PanelWindow::EntryCount(int id) const {
    return static_cast<int>(::SendMessageW(Control(id), CB_GETCOUNT, 0, 0));
}

bool Win32PanelWindow::IsChecked(int id) const {
    return ::IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

void Win32PanelWindow::SetChecked(int id, bool checked) {
    ::CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Win32PanelWindow::AppendTranscript(int id, std::string_view text) {
    const HWND box = Control(id);
    const int end = ::GetWindowTextLengthW(box);
    ::SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(end), end);
    ::SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(FromLatin1(text).c_str()));
    ::SendMessageW(box, EM_SCROLLCARET, 0, 0);
    // A reply wait may block the thread next; the operator sees the text before it starts.
    ::UpdateWindow(box);
}

void Win32PanelWindow::ClearTranscript(int id) {
    ::SetWindowTextW(Control(id), L"");
}

void Win32PanelWindow::Focus(int id) {
    if (const HWND control = Control(id)) {
        ::SetFocus(control);
    }
}

// At the dialog's DPI, now and after a move to a screen with another. What the window uses
// is replaced before the old one goes.
void Win32PanelWindow::SetIconsAndFonts() {
    const UINT dpi = WindowDpi(dialog_);
    UniqueIcon icon = LoadAppIcon(SM_CXICON, dpi);
    UniqueIcon smallIcon = LoadAppIcon(SM_CXSMICON, dpi);
    UniqueFont font;
    const HFONT fixedPitch = FixedPitchFont(dpi, font);
    ::SendMessageW(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.Get()));
    ::SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.Get()));
    ShowIcon(dialog_, OperatorDialogTemplate(), icon.Get());
    ::SendMessageW(Control(kIdcSendLog), WM_SETFONT, reinterpret_cast<WPARAM>(fixedPitch), TRUE);
    icon_ = std::move(icon);
    smallIcon_ = std::move(smallIcon);
    fixedFont_ = std::move(font);
}

bool Win32PanelWindow::HasSystemMenu() const {
    return ::GetSystemMenu(dialog_, FALSE) != nullptr;
}

void Win32PanelWindow::AppendSystemMenuSeparator() {
    ::AppendMenuW(::GetSystemMenu(dialog_, FALSE), MF_SEPARATOR, 0, nullptr);
}

void Win32PanelWindow::AppendSystemMenuItem(unsigned commandId, std::string_view text) {
    ::AppendMenuW(::GetSystemMenu(dialog_, FALSE), MF_STRING, commandId, Utf16(text).c_str());
}

void Win32PanelWindow::DefaultSystemCommand(std::uint16_t commandId) {
    ::DefWindowProcW(dialog_, WM_SYSCOMMAND, commandId, sysCommandAt_);
}

void Win32PanelWindow::ShowAboutBox() {
    CAboutDlg about(dialog_);
    about.DoModal();
}

}  // namespace glassbench::ui::win32
