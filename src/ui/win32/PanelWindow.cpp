#include "ui/win32/PanelWindow.h"

#include <commctrl.h>

#include "ui/DialogTemplate.h"
#include "ui/win32/AboutDlg.h"
#include "ui/win32/DialogBuilder.h"
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

// The window whose modal run the message hook serves (there is one at a time).
CPanelWindow* g_modalWindow = nullptr;

HICON LoadAppIcon(int sizeMetric) {
    const int side = ::GetSystemMetrics(sizeMetric);
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                           MAKEINTRESOURCEW(kIdrMainFrame), IMAGE_ICON, side, side,
                                           LR_DEFAULTCOLOR));
}

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

std::string WindowTextA(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

CPanelWindow::CPanelWindow(serial::SerialLink& link, Win32Toolkit& toolkit)
    : m_link(link),
      m_toolkit(toolkit),
      m_hIcon(LoadAppIcon(SM_CXICON)),
      m_hSmallIcon(LoadAppIcon(SM_CXSMICON)),
      m_logic(*this, link, toolkit) {}

CPanelWindow::~CPanelWindow() = default;

WindowHandle CPanelWindow::Owner() const {
    return OwnerHandle(m_hWnd);
}

void CPanelWindow::RunModal(const std::function<void()>& initialise) {
    const DialogTemplateMemory memory(OperatorDialogTemplate(), kDialogStyle);
    m_initialise = &initialise;
    g_modalWindow = this;
    {
        const UniqueHook hook(
            ::SetWindowsHookExW(WH_MSGFILTER, &MessageFilter, nullptr, ::GetCurrentThreadId()));
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), memory.Get(), nullptr, &DialogProc,
                                  reinterpret_cast<LPARAM>(this));
    }
    g_modalWindow = nullptr;
    m_initialise = nullptr;
    m_hWnd = nullptr;
}

INT_PTR CALLBACK CPanelWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CPanelWindow*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->m_hWnd = dialog;
        self->OnInitDialog();
        return FALSE;  // the logic has put the focus on Data
    }
    if (message == WM_MEASUREITEM) {
        // Sent while the controls are created, before WM_INITDIALOG.
        MeasureListEntry(dialog, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
    }
    auto* self = reinterpret_cast<CPanelWindow*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CPanelWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_SYSCOMMAND:
            m_sysCommandAt = lParam;
            m_logic.OnSystemCommand(static_cast<std::uint16_t>(wParam));
            return TRUE;
        case WM_CLOSE:
            ::EndDialog(m_hWnd, IDCANCEL);
            return TRUE;
        case WM_DRAWITEM:
            DrawListEntry(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_SETCURSOR:
            if (m_toolkit.Busy()) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
                ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case kQuitMessage:
            m_toolkit.Quit();
            ::EndDialog(m_hWnd, IDCANCEL);
            return TRUE;
        case WM_DESTROY:
            m_quitWait.Reset();
            return FALSE;
        default:
            return FALSE;
    }
}

void CPanelWindow::OnInitDialog() {
    CompleteControls(m_hWnd, OperatorDialogTemplate(), m_link.Names());
    // The owner-drawn Port list stands as high as the Speed list beside it.
    for (const WPARAM part : {static_cast<WPARAM>(-1), WPARAM{0}}) {
        ::SendMessageW(Control(kIdcPort), CB_SETITEMHEIGHT, part,
                       ::SendMessageW(Control(kIdcSpeed), CB_GETITEMHEIGHT, part, 0));
    }
    for (const int id : {kIdcSendLog, kIdcRecvLog}) {
        // A bench session outgrows an edit control's default 32K characters.
        ::SendMessageW(Control(id), EM_SETLIMITTEXT, 0, 0);
    }
    for (const int id : {kIdcPort, kIdcSpeed}) {
        ::SetWindowSubclass(Control(id), &ChooseOnlyFromDropDown, 0, 0);
    }
    HANDLE wait = nullptr;
    if (m_quitEvent != nullptr &&
        ::RegisterWaitForSingleObject(&wait, m_quitEvent, &OnQuitEvent, m_hWnd, INFINITE,
                                      WT_EXECUTEONLYONCE)) {
        m_quitWait.Reset(wait);
    }
    (*m_initialise)();
}

bool CPanelWindow::OnCommand(int id, int notification) {
    switch (id) {
        case kIdcSendData:
            if (notification == BN_CLICKED) {
                m_logic.OnSendData();
            }
            return true;
        case kIdcClearDisplay:
            if (notification == BN_CLICKED) {
                m_logic.OnClearDisplay();
            }
            return true;
        case kIdcPort:
        case kIdcSpeed:
            if (notification == CBN_CLOSEUP) {
                m_logic.OnPortOrSpeedCloseUp();
            }
            return true;
        case kIdcCommand:
            if (notification == CBN_SELCHANGE) {
                m_logic.OnCommandSelected();
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

LRESULT CALLBACK CPanelWindow::MessageFilter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && g_modalWindow != nullptr &&
        g_modalWindow->PreTranslateMessage(*reinterpret_cast<const MSG*>(lParam))) {
        return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CPanelWindow::PreTranslateMessage(const MSG& message) {
    // Message boxes and the About box are dialogs of their own and keep their keys.
    if (m_hWnd == nullptr || (message.hwnd != m_hWnd && !::IsChild(m_hWnd, message.hwnd))) {
        return false;
    }
    if (!IsDialogNavigationMessage(message.message, message.wParam, CurrentModifiers())) {
        return false;
    }
    Focus(kIdcData);
    return true;
}

std::string CPanelWindow::FieldText(int id) const {
    return WindowTextA(Control(id));
}

void CPanelWindow::SetFieldText(int id, std::string_view text) {
    ::SetWindowTextA(Control(id), std::string(text).c_str());
}

int CPanelWindow::Selection(int id) const {
    const HWND list = Control(id);
    if ((::GetWindowLongW(list, GWL_STYLE) & CBS_DROPDOWNLIST) == CBS_DROPDOWN) {
        // What the operator typed names the entry, regardless of case.
        const std::string typed = WindowTextA(list);
        if (typed.empty()) {
            return -1;
        }
        return static_cast<int>(::SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(typed.c_str())));
    }
    return static_cast<int>(::SendMessageW(list, CB_GETCURSEL, 0, 0));
}

void CPanelWindow::Select(int id, int index) {
    ::SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int CPanelWindow::EntryCount(int id) const {
    return static_cast<int>(::SendMessageW(Control(id), CB_GETCOUNT, 0, 0));
}

bool CPanelWindow::IsChecked(int id) const {
    return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CPanelWindow::SetChecked(int id, bool checked) {
    ::CheckDlgButton(m_hWnd, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CPanelWindow::AppendTranscript(int id, std::string_view text) {
    const HWND box = Control(id);
    const int end = ::GetWindowTextLengthW(box);
    ::SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(end), end);
    ::SendMessageA(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(std::string(text).c_str()));
    ::SendMessageW(box, EM_SCROLLCARET, 0, 0);
    // A reply wait may block the thread next; the operator sees the text before it starts.
    ::UpdateWindow(box);
}

void CPanelWindow::ClearTranscript(int id) {
    ::SetWindowTextA(Control(id), "");
}

void CPanelWindow::Focus(int id) {
    if (const HWND control = Control(id)) {
        ::SetFocus(control);
    }
}

void CPanelWindow::SetIconsAndFonts() {
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon.Get()));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon.Get()));
    ::SendMessageW(Control(kIdcSendLog), WM_SETFONT,
                   reinterpret_cast<WPARAM>(::GetStockObject(ANSI_FIXED_FONT)), TRUE);
}

bool CPanelWindow::HasSystemMenu() const {
    return ::GetSystemMenu(m_hWnd, FALSE) != nullptr;
}

void CPanelWindow::AppendSystemMenuSeparator() {
    ::AppendMenuW(::GetSystemMenu(m_hWnd, FALSE), MF_SEPARATOR, 0, nullptr);
}

void CPanelWindow::AppendSystemMenuItem(unsigned commandId, std::string_view text) {
    ::AppendMenuW(::GetSystemMenu(m_hWnd, FALSE), MF_STRING, commandId, Utf16(text).c_str());
}

void CPanelWindow::DefaultSystemCommand(std::uint16_t commandId) {
    ::DefWindowProcW(m_hWnd, WM_SYSCOMMAND, commandId, m_sysCommandAt);
}

void CPanelWindow::ShowAboutBox() {
    CAboutDlg about(m_hWnd);
    about.DoModal();
}

}  // namespace glassbench::ui::win32
