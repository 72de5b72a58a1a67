// The operator dialog's window in plain Win32: template 102 built in memory and run modally by
// DialogBoxIndirectParamW, with the dialog's logic (CPanelConsoleDlg) behind it.
//
// The dialog manager owns the controls and the modal loop; the window adds three things.
// A WH_MSGFILTER hook sees every message the modal loop takes for the dialog and its controls,
// before IsDialogMessage and the control do, an open drop-down list included (its keys still
// go to the combo box, which keeps the focus). The hook swallows the dialog's navigation keys
// (KeyboardFilter.h) and moves the focus to Data; a list that is dropped down closes as the
// focus leaves it. So Enter and Escape never become IDOK and IDCANCEL, and the window ends
// only through WM_CLOSE: the close box, the system menu's Close, or Alt+F4. The dialog
// procedure turns the controls' notifications into the logic's handlers and WM_SYSCOMMAND into
// OnSystemCommand, whose default processing is DefWindowProc's. While the toolkit is busy
// the window keeps the wait cursor over itself (WM_SETCURSOR). And it follows the screen's DPI
// (Dpi.h): its icons and the transcript's fixed-pitch font are made for the dialog's DPI at
// start-up and again after WM_DPICHANGED, when the controls that grew to fit their text are
// fitted again.
//
// The Port and Speed lists act on CBN_CLOSEUP, which the combo box sends once each time its
// drop-down closes, chosen or not; closed, they ignore the wheel, the paging keys and typed
// letters, the ways a combo box changes its entry without a drop-down, so that what they show
// is what the program opened. The Command list acts on CBN_SELCHANGE, which comes from the
// operator only: CB_SETCURSEL raises nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "serial/SerialLink.h"
#include "ui/PanelConsoleDlg.h"
#include "ui/PanelView.h"
#include "ui/win32/Win32Handles.h"
#include "ui/win32/Win32Toolkit.h"

namespace glassbench::ui::win32 {

class Win32PanelWindow final : public PanelView {
  public:
    Win32PanelWindow(serial::SerialLink& link, Win32Toolkit& toolkit);
    ~Win32PanelWindow() override;
    Win32PanelWindow(const Win32PanelWindow&) = delete;
    Win32PanelWindow& operator=(const Win32PanelWindow&) = delete;

    CPanelConsoleDlg& Logic() { return logic_; }
    // Once `event` is set (a stop request), the toolkit quits and the modal run ends, as after
    // the close box. Set before DoModal; null for none.
    void QuitWhenSet(HANDLE event) { quitEvent_ = event; }

    // PanelView
    WindowHandle Owner() const override;
    void RunModal(const std::function<void()>& initialise) override;
    std::string FieldText(int id) const override;
    void SetFieldText(int id, std::string_view text) override;
    int Selection(int id) const override;
    void Select(int id, int index) override;
    int EntryCount(int id) const override;
    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override;
    void AppendTranscript(int id, std::string_view text) override;
    void ClearTranscript(int id) override;
    void Focus(int id) override;
    void SetIconsAndFonts() override;
    bool HasSystemMenu() const override;
    void AppendSystemMenuSeparator() override;
    void AppendSystemMenuItem(unsigned commandId, std::string_view text) override;
    void DefaultSystemCommand(std::uint16_t commandId) override;
    void ShowAboutBox() override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MessageFilter(int code, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void MatchPortListHeight();
    // The Port list's tooltip: the port in full (the box cuts a long name) and what it is, its
    // text asked of the logic each time it is about to show (TTN_GETDISPINFOW).
    void AddPortToolTip();
    bool OnCommand(int id, int notification);
    // True when the dialog swallows `message`.
    bool PreTranslateMessage(const MSG& message);
    HWND Control(int id) const { return ::GetDlgItem(dialog_, id); }

    serial::SerialLink& link_;
    Win32Toolkit& toolkit_;
    UniqueIcon icon_;
    UniqueIcon smallIcon_;
    // The Data Send transcript's font where it is not the stock one.
    UniqueFont fixedFont_;
    HANDLE quitEvent_ = nullptr;
    UniqueWait quitWait_;
    // The dialog manager's window, during the modal run only.
    HWND dialog_ = nullptr;
    // The Port list's tooltip, owned by the dialog (destroyed with it), and the text it shows.
    HWND portTip_ = nullptr;
    std::wstring portTipText_;
    const std::function<void()>* initialise_ = nullptr;
    // WM_SYSCOMMAND's lParam (where the command was given), for its default processing.
    LPARAM sysCommandAt_ = 0;
    CPanelConsoleDlg logic_;
};

}  // namespace glassbench::ui::win32
