// The operator dialog's window in Qt Widgets: template 102 built as widgets, with the
// dialog's logic (CPanelConsoleDlg) behind it.
//
// The window keeps only what is Qt's own: the dialog-unit conversion (DialogBuilder), the
// close-up detection (CCloseUpComboBox), the transcript boxes, the popup that stands in for
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

namespace glassbench::ui {

class SystemMenu;

class CPanelWindow final : public QDialog, public PanelView {
    Q_OBJECT

  public:
    CPanelWindow(serial::SerialLink& link, Toolkit& toolkit, QWidget* parent = nullptr);
    ~CPanelWindow() override;

    // The operator window of this process, while one exists (for tools that drive it).
    static CPanelWindow* Find();

    CPanelConsoleDlg& Logic() { return m_logic; }
    // What a transcript box shows.
    std::string TranscriptText(int id) const;
    // The control with template id `id`, or nullptr.
    QWidget* Control(int id) const { return m_controls.Control(id); }
    const BuiltDialog& Controls() const { return m_controls; }
    SystemMenu* SystemMenuOf() const { return m_systemMenu.get(); }

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

    QIcon m_hIcon;
    BuiltDialog m_controls;
    std::unique_ptr<SystemMenu> m_systemMenu;
    CPanelConsoleDlg m_logic;
};

}  // namespace glassbench::ui
