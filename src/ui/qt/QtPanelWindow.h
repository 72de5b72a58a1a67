// The operator dialog's window in Qt Widgets: template 102 built as widgets, with the
// dialog's logic (CPanelConsoleDlg) behind it.
//
// The window keeps only what is Qt's own: the dialog-unit conversion (DialogBuilder), the
// close-up detection (CloseUpComboBox), the transcript boxes, the popup that stands in for
// the system menu, and the keyboard filter. The filter is an application-wide event filter
// that looks at widgets whose window is this dialog or a popup opened from it (a dropped-down
// list is a window of its own in Qt), so message boxes and the About box keep their own keys.
// It must also see ShortcutOverride: Qt offers a key to the shortcut map before it delivers
// the key press, and a shortcut would otherwise act on a key the dialog swallows.
#pragma once

#include <QDialog>
#include <QIcon>
#include <memory>

#include "serial/SerialLink.h"
#include "ui/PanelConsoleDlg.h"
#include "ui/PanelView.h"
#include "ui/qt/DialogBuilder.h"

namespace glassbench::ui::qt {

class SystemMenu;

class QtPanelWindow final : public QDialog, public PanelView {
    Q_OBJECT

  public:
    QtPanelWindow(serial::SerialLink& link, Toolkit& toolkit, QWidget* parent = nullptr);
    ~QtPanelWindow() override;

    // The operator window of this process, while one exists (for tools that drive it).
    static QtPanelWindow* Find();

    CPanelConsoleDlg& Logic() { return logic_; }
    // What a transcript box shows.
    std::string TranscriptText(int id) const;
    // The control with template id `id`, or nullptr.
    QWidget* Control(int id) const { return controls_.Control(id); }
    const BuiltDialog& Controls() const { return controls_; }
    SystemMenu* SystemMenuOf() const { return systemMenu_.get(); }

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

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool IsOwnWidget(QObject* watched) const;
    // The Port list's tooltip, from the logic: the port in full, and what it is. Made afresh
    // each time it is about to show, since adapters come and go.
    void UpdatePortToolTip();

    QIcon icon_;
    BuiltDialog controls_;
    std::unique_ptr<SystemMenu> systemMenu_;
    CPanelConsoleDlg logic_;
};

}  // namespace glassbench::ui::qt
