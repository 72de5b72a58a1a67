// The operator dialog: template 102 and everything the operator does with it.
//
// Construction builds the controls from the template and loads the "ClearScreen" preset into
// the text members. Initialisation (OnInitDialog, run once before the dialog is first shown)
// selects the defaults and tries the thirty ports in list order until one opens, announcing
// the result in a message box. After that every action runs to completion on the one thread:
// a close-up of the Port or Speed list reopens the port, a Command choice loads its preset,
// Clear Display empties the transcripts and Send data builds, writes and logs a frame and its
// reply. The dialog only calls the protocol library for bytes, the serial link for the port
// and the toolkit seam for anything modal or timed; it never packs or parses bytes itself.
//
// The five bound fields move to and from their text members only through ReadFields and
// ShowFields, as single-byte Latin-1 text: a character outside Latin-1 becomes '?', which the
// protocol reads as a non-digit like any other.
//
// The keyboard filter is an application-wide event filter that looks only at widgets whose
// window is this dialog, so message boxes, the About box and open drop-downs keep their own
// keys. It must also see ShortcutOverride: Qt offers a key to the shortcut map before it
// delivers the key press, and a shortcut would otherwise act on a key the dialog swallows.
#pragma once

#include <QDialog>
#include <QIcon>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "protocol/CommandFrame.h"
#include "serial/SerialLink.h"
#include "ui/DialogBuilder.h"
#include "ui/Toolkit.h"

class QCheckBox;

namespace glassbench::ui {

class CCloseUpComboBox;
class CTranscriptBox;
class SystemMenu;

class CPanelConsoleDlg : public QDialog {
    Q_OBJECT

  public:
    CPanelConsoleDlg(serial::SerialLink& link, Toolkit& toolkit, QWidget* parent = nullptr);
    ~CPanelConsoleDlg() override;

    // Initialises the dialog and runs it modally; returns when the operator closes it.
    int DoModal();
    // Runs once before the dialog is first shown. Returns true: the focus is on Data.
    bool OnInitDialog();

    void OnPortOrSpeedCloseUp();
    void ReopenPort(int portIndex, int speedIndex);
    void OnCommandSelected();
    void OnClearDisplay();
    void OnSendData();
    void OnSystemCommand(std::uint16_t commandId);

    void LoadPreset(std::string_view section);
    void ReadFields();
    void ShowFields();

    // The control with template id `id`, or nullptr.
    QWidget* Control(int id) const { return m_controls.Control(id); }
    const BuiltDialog& Controls() const { return m_controls; }
    SystemMenu* SystemMenuOf() const { return m_systemMenu.get(); }
    const std::string& SendLog() const { return m_strSendLog; }
    const std::string& RecvLog() const { return m_strRecvLog; }
    const std::string& Transparent() const { return m_strTransparent; }
    const std::string& FontType() const { return m_strFontType; }
    const std::string& IniPath() const { return m_strIniPath; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Exchange(bool saveFromFields);
    void SearchPorts();
    void AnnounceOpenedPort(int portIndex, int speedIndex);
    int LcdTypeSelection() const;

    serial::SerialLink& m_link;
    Toolkit& m_toolkit;
    BuiltDialog m_controls;
    std::unique_ptr<SystemMenu> m_systemMenu;

    std::string m_strIniPath;
    std::string m_strCmd;
    std::string m_strTransparent;
    std::string m_strFontType;
    std::string m_strSendLog;
    std::string m_strRecvLog;
    protocol::DataStore m_dataBytes{};
    protocol::CommandFrame m_frame{};
    int m_dataCount = 0;
    std::string m_strHex;
    CCloseUpComboBox* m_cbLcdType = nullptr;
    CCloseUpComboBox* m_cbFontSize = nullptr;
    CCloseUpComboBox* m_cbCommand = nullptr;
    CCloseUpComboBox* m_cbTransparent = nullptr;
    CCloseUpComboBox* m_cbSpeed = nullptr;
    CCloseUpComboBox* m_cbPort = nullptr;
    CTranscriptBox* m_editSendLog = nullptr;
    CTranscriptBox* m_editRecvLog = nullptr;
    QCheckBox* m_chkRts = nullptr;
    QCheckBox* m_chkDtr = nullptr;
    std::string m_strLengh;
    std::string m_strCheckSum;
    std::string m_strXaddress;
    std::string m_strYaddress;
    std::string m_strData;
    QIcon m_hIcon;
};

}  // namespace glassbench::ui
