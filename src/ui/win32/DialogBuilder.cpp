#include "ui/win32/DialogBuilder.h"

#include <algorithm>

#include "ui/win32/Dpi.h"
#include "ui/win32/Win32Handles.h"

namespace glassbench::ui::win32 {

namespace {

// The system classes' atoms, as dialog templates name them.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kComboBoxAtom = 0x0085;

bool IsList(ControlKind kind) {
    return kind == ControlKind::DropDownList || kind == ControlKind::DropDownEdit;
}

WORD ClassAtom(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
        case ControlKind::Icon:
            return kStaticAtom;
        case ControlKind::Edit:
            return kEditAtom;
        case ControlKind::DropDownList:
        case ControlKind::DropDownEdit:
            return kComboBoxAtom;
        case ControlKind::CheckBox:
        case ControlKind::GroupFrame:
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton:
            break;
    }
    return kButtonAtom;
}

DWORD KindStyle(const ControlTemplate& control) {
    const unsigned bits = control.style;
    switch (control.kind) {
        case ControlKind::Label:
            // Plain text: an '&' is shown, not taken as a mnemonic.
            return SS_LEFT | SS_NOPREFIX;
        case ControlKind::CheckBox:
            return (bits & kAutoCheck) ? BS_AUTOCHECKBOX : BS_CHECKBOX;
        case ControlKind::DropDownList:
            return control.source == ListSource::PortTable
                       ? CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS
                       : CBS_DROPDOWNLIST;
        case ControlKind::DropDownEdit:
            return CBS_DROPDOWN | ((bits & kAutoHScroll) ? CBS_AUTOHSCROLL : 0);
        case ControlKind::Edit:
            return ES_LEFT | ((bits & kAutoHScroll) ? ES_AUTOHSCROLL : 0) |
                   ((bits & kMultiLine) ? ES_MULTILINE : 0) |
                   ((bits & kReadOnly) ? ES_READONLY : 0);
        case ControlKind::Icon:
            return SS_ICON;
        case ControlKind::GroupFrame:
            // A frame lies beneath what it frames (it comes later in the template, and so
            // lower in the Z order) and must not paint over it: Wine 8's group box fills the
            // band where a caption would stand, over the Port and Speed labels.
            return BS_GROUPBOX | WS_CLIPSIBLINGS;
        case ControlKind::PushButton:
            return BS_PUSHBUTTON;
        case ControlKind::DefaultPushButton:
            return BS_DEFPUSHBUTTON;
    }
    return 0;
}

DWORD WindowStyle(const ControlTemplate& control) {
    const unsigned bits = control.style;
    return WS_CHILD | ((bits & kHidden) ? 0 : WS_VISIBLE) | ((bits & kDisabled) ? WS_DISABLED : 0) |
           ((bits & kTabStop) ? WS_TABSTOP : 0) | ((bits & kBorder) ? WS_BORDER : 0) |
           ((bits & kVScroll) ? WS_VSCROLL : 0) | KindStyle(control);
}

class TemplateWriter {
  public:
    explicit TemplateWriter(std::vector<WORD>& words) : words_(words) {}

    void Word(unsigned value) { words_.push_back(static_cast<WORD>(value)); }
    void Dword(DWORD value) {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Coordinate(int value) { Word(static_cast<WORD>(static_cast<short>(value))); }
    void Text(std::wstring_view text) {
        for (const wchar_t c : text) {
            Word(c);
        }
        Word(0);
    }
    void Ordinal(WORD value) {
        Word(0xFFFF);
        Word(value);
    }
    void AlignToDword() {
        if (words_.size() % 2 != 0) {
            Word(0);
        }
    }

  private:
    std::vector<WORD>& words_;
};

// The children of `dialog` in creation order, which is template order.
std::vector<HWND> Children(HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

void Grow(HWND control, LONG width, LONG height) {
    RECT rect;
    ::GetWindowRect(control, &rect);
    const LONG oldWidth = rect.right - rect.left;
    LONG oldHeight = rect.bottom - rect.top;
    RECT dropped;
    if (::SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped))) {
        // A combo box takes a new height as the height of its dropped-down state; its window
        // rectangle is only the closed box.
        oldHeight = std::max(oldHeight, dropped.bottom - rect.top);
    }
    if (width > oldWidth || height > oldHeight) {
        ::SetWindowPos(control, nullptr, 0, 0, std::max(width, oldWidth),
                       std::max(height, oldHeight), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void FillList(HWND list, const ControlTemplate& control, const serial::PortNames& ports) {
    for (const std::string& item : ListItems(control, ports)) {
        if (control.source == ListSource::PortTable) {
            // Device names as the serial link opens them: in the ANSI code page (UTF-8).
            ::SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        } else {
            const std::wstring text = Utf16(item);
            ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
}

void FitList(HWND list, const ControlTemplate& control, HDC dc, UINT dpi) {
    LONG widest = 0;
    const int count = static_cast<int>(::SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        widest = std::max(widest, TextExtent(dc, ListEntry(list, i)).cx);
    }
    // The box's edges and the text's inset on either side, and the arrow button.
    const LONG margins = 2 * MetricForDpi(SM_CXEDGE, dpi) + 4;
    const LONG scrollBar = MetricForDpi(SM_CXVSCROLL, dpi);
    // The drop-down shows every entry whole, even where the closed box is narrower.
    if (widest + margins + scrollBar >
        static_cast<LONG>(::SendMessageW(list, CB_GETDROPPEDWIDTH, 0, 0))) {
        ::SendMessageW(list, CB_SETDROPPEDWIDTH, widest + margins + scrollBar, 0);
    }
    if (control.source != ListSource::PortTable) {
        Grow(list, widest + margins + scrollBar, 0);
    }
}

}  // namespace

SIZE TextExtent(HDC dc, std::wstring_view text) {
    RECT rect{0, 0, 0, 0};
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring ListEntry(HWND list, int index) {
    const LRESULT length = ::SendMessageW(list, CB_GETLBTEXTLEN, index, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring Utf16(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), length);
    return text;
}

std::string Latin1(std::wstring_view text) {
    std::string bytes(text.size(), '?');
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] <= 0xFF) {
            bytes[i] = static_cast<char>(text[i]);
        }
    }
    return bytes;
}

std::wstring FromLatin1(std::string_view bytes) {
    std::wstring text(bytes.size(), L'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[i] = static_cast<unsigned char>(bytes[i]);
    }
    return text;
}

DialogTemplateMemory::DialogTemplateMemory(const DialogTemplate& dialog, DWORD style) {
    TemplateWriter out(words_);
    out.Word(1);       // dlgVer
    out.Word(0xFFFF);  // signature: the extended template
    out.Dword(0);      // helpID
    out.Dword(0);      // exStyle
    out.Dword(style | DS_SETFONT);
    out.Word(static_cast<WORD>(dialog.controls.size()));
    out.Coordinate(0);
    out.Coordinate(0);
    out.Coordinate(dialog.cx);
    out.Coordinate(dialog.cy);
    out.Word(0);  // no menu
    out.Word(0);  // the dialog class
    out.Text(Utf16(dialog.caption));
    out.Word(static_cast<WORD>(dialog.fontPointSize));
    out.Word(FW_NORMAL);
    out.Word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // italic, charset
    out.Text(Utf16(dialog.fontFace));

    for (const ControlTemplate& control : dialog.controls) {
        out.AlignToDword();
        out.Dword(0);  // helpID
        out.Dword(0);  // exStyle
        out.Dword(WindowStyle(control));
        out.Coordinate(control.place.x);
        out.Coordinate(control.place.y);
        out.Coordinate(control.place.cx);
        out.Coordinate(control.place.cy);
        out.Dword(static_cast<DWORD>(control.id));
        out.Ordinal(ClassAtom(control.kind));
        if (control.kind == ControlKind::Icon) {
            out.Ordinal(static_cast<WORD>(kIdrMainFrame));
        } else {
            out.Text(Utf16(control.text));
        }
        out.Word(0);  // no creation data
    }
}

void CompleteControls(HWND dialog, const DialogTemplate& dialogTemplate,
                      const serial::PortNames& ports) {
    const std::vector<HWND> children = Children(dialog);
    if (children.size() != dialogTemplate.controls.size()) {
        return;
    }
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (IsList(dialogTemplate.controls[i].kind)) {
            FillList(children[i], dialogTemplate.controls[i], ports);
        }
    }
    FitControls(dialog, dialogTemplate);
}

void FitControls(HWND dialog, const DialogTemplate& dialogTemplate) {
    const std::vector<HWND> children = Children(dialog);
    if (children.size() != dialogTemplate.controls.size()) {
        return;
    }
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    const WindowDC dc(dialog, font);
    const UINT dpi = WindowDpi(dialog);
    const LONG buttonMargins = 2 * (MetricForDpi(SM_CXEDGE, dpi) + 4);
    for (std::size_t i = 0; i < children.size(); ++i) {
        const ControlTemplate& control = dialogTemplate.controls[i];
        const HWND window = children[i];
        if (IsList(control.kind)) {
            FitList(window, control, dc.Get(), dpi);
        } else if (control.kind == ControlKind::Label) {
            const SIZE text = TextExtent(dc.Get(), Utf16(control.text));
            Grow(window, text.cx, text.cy);
        } else if (control.kind == ControlKind::PushButton ||
                   control.kind == ControlKind::DefaultPushButton) {
            Grow(window, TextExtent(dc.Get(), Utf16(control.text)).cx + buttonMargins, 0);
        }
    }
}

void ShowIcon(HWND dialog, const DialogTemplate& dialogTemplate, HICON icon) {
    const std::vector<HWND> children = Children(dialog);
    for (std::size_t i = 0; i < children.size() && i < dialogTemplate.controls.size(); ++i) {
        if (dialogTemplate.controls[i].kind == ControlKind::Icon) {
            // The control takes the icon's size.
            ::SendMessageW(children[i], STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        }
    }
}

void MeasureListEntry(HWND dialog, MEASUREITEMSTRUCT& item) {
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    const WindowDC dc(dialog, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.Get(), &metrics);
    item.itemHeight = static_cast<UINT>(metrics.tmHeight);
}

void DrawListEntry(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID != static_cast<UINT>(-1)) {
        std::wstring text = ListEntry(item.hwndItem, static_cast<int>(item.itemID));
        RECT area = item.rcItem;
        area.left += 2;
        const LONG room = area.right - area.left;
        if (TextExtent(dc, text).cx > room) {
            // The end of a device path tells one port from another; its start is shared.
            std::wstring_view tail = text;
            while (!tail.empty() && TextExtent(dc, L"..." + std::wstring(tail)).cx > room) {
                tail.remove_prefix(1);
            }
            text = L"..." + std::wstring(tail);
        }
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(disabled   ? COLOR_GRAYTEXT
                                         : selected ? COLOR_HIGHLIGHTTEXT
                                                    : COLOR_WINDOWTEXT));
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
    }
    if (item.itemState & ODS_FOCUS) {
        ::DrawFocusRect(dc, &item.rcItem);
    }
}

}  // namespace glassbench::ui::win32
