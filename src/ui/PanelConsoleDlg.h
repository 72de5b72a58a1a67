// The operator dialog's logic: template 102's state and everything the operator does with it,
// with no toolkit in sight.
//
// Construction loads the "ClearScreen" preset into the text members. Initialisation
// (OnInitDialog, run once before the window is first shown) selects the defaults and tries the
// thirty ports in list order until one opens, announcing the result in a message box. After
// that every action runs to completion on the one thread: a close-up of the Port or Speed list
// reopens the port, a Command choice loads its preset, Clear Display empties the transcripts
// and Send data builds, writes and shows a frame and its reply. The dialog only calls the
// protocol library for bytes, the serial exchange for the port, the toolkit seam for anything
// modal or timed, and its window (PanelView) for controls; it never packs or parses bytes
// itself.
//
// The five bound fields move to and from their text members only through ReadFields and
// ShowFields.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/CommandFrame.h"
#include "serial/SerialLink.h"
#include "ui/PanelView.h"
#include "ui/Toolkit.h"

namespace glassbench::ui {

class CPanelConsoleDlg {
  public:
    // Loads the "ClearScreen" preset; the window need not exist yet.
    CPanelConsoleDlg(PanelView& view, serial::SerialLink& link, Toolkit& toolkit);
    CPanelConsoleDlg(const CPanelConsoleDlg&) = delete;
    CPanelConsoleDlg& operator=(const CPanelConsoleDlg&) = delete;

    // Runs the dialog modally: initialisation before it is first shown, then until closed.
    void DoModal();
    // Runs once before the window is first shown. Returns true: the focus is on Data.
    bool OnInitDialog();

    // What the window calls when the operator acts.
    void OnPortOrSpeedCloseUp();
    void OnCommandSelected();
    void OnClearDisplay();
    void OnSendData();
    void OnSystemCommand(std::uint16_t commandId);

    // The Port list's tooltip, asked for when it is about to show: the selected entry's port in
    // full (the box cuts a long name) and, for a USB adapter, its product and serial number;
    // empty with no entry selected.
    std::string PortToolTip() const;

  private:
    void ReopenPort(int portIndex, int speedIndex);
    void LoadPreset(std::string_view section);
    void ReadFields();
    void ShowFields();
    void SearchPorts();
    void AnnounceOpenedPort(int portIndex, int speedIndex);
    void SelectFromPreset(int listId, const std::string& value);
    struct FieldBinding {
        int id;
        std::string* text;
    };
    std::array<FieldBinding, 5> Bindings();

    PanelView& view_;
    serial::SerialLink& link_;
    Toolkit& toolkit_;

    // The dialog's own state keeps the m_ names it is documented under.
    std::string m_strTransparent;
    std::string m_strFontType;
    protocol::DataStore m_dataBytes{};
    protocol::CommandFrame m_frame{};
    std::string m_strLengh;
    std::string m_strCheckSum;
    std::string m_strXaddress;
    std::string m_strYaddress;
    std::string m_strData;
};

}  // namespace glassbench::ui
