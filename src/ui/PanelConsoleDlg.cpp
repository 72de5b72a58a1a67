#include "ui/PanelConsoleDlg.h"

#include "presets/PresetFile.h"
#include "protocol/HexText.h"
#include "serial/Exchange.h"
#include "serial/PortTables.h"
#include "ui/DialogTemplate.h"

namespace glassbench::ui {

namespace {

constexpr std::string_view kNoPortOpened = "Could not open any of the serial ports.";
constexpr std::string_view kNoPortToSend = "Could not send: no port is open.";
constexpr std::string_view kConfirmCaption = "Orvane Glassbench";
constexpr std::string_view kErrorCaption = "Error";
// What the messages name when the Port list has no selection, which has no device.
constexpr std::string_view kNoPortName = "(none)";

std::string PortOpenedText(std::string_view device, std::string_view speed) {
    std::string text = "Port ";
    text += device;
    text += " opened at ";
    text += speed;
    text += " baud.";
    return text;
}

std::string CouldNotSendText(std::string_view device) {
    std::string text = "Could not send to port ";
    text += device;
    text += '.';
    return text;
}

}  // namespace

CPanelConsoleDlg::CPanelConsoleDlg(PanelView& view, serial::SerialLink& link, Toolkit& toolkit)
    : m_view(view), m_link(link), m_toolkit(toolkit) {
    LoadPreset(presets::PresetSectionFor(0));
}

void CPanelConsoleDlg::DoModal() {
    m_view.RunModal([this] { OnInitDialog(); });
}

bool CPanelConsoleDlg::OnInitDialog() {
    // The window filled its lists from the template when it built its controls.
    ShowFields();

    if (m_view.HasSystemMenu()) {
        const std::string_view about = LoadResourceString(kIdsAboutBox);
        if (!about.empty()) {
            m_view.AppendSystemMenuSeparator();
            m_view.AppendSystemMenuItem(kIdmAboutBox, about);
        }
    }
    m_view.SetIconsAndFonts();

    m_view.Select(kIdcSpeed, serial::kDefaultSpeedIndex);
    m_view.SetChecked(kIdcRts, true);
    m_view.SetChecked(kIdcDtr, true);
    // The start-up preset's TRANSPRENT and FONTTYPE pick the first Transparent and FontSize.
    SelectFromPreset(kIdcTransparent, m_strTransparent);
    SelectFromPreset(kIdcFontSize, m_strFontType);

    SearchPorts();

    // Selections the program makes raise no Command change, so no preset is loaded again.
    m_view.Select(kIdcCommand, 0);
    m_view.Select(kIdcLcdType, 0);

    // The focus starts on the first visible, enabled tab stop in template order: Data.
    m_view.Focus(FirstTabStop(OperatorDialogTemplate()));
    return true;
}

// Read as C reads a number; too large selects the first entry, negative leaves no selection.
void CPanelConsoleDlg::SelectFromPreset(int listId, const std::string& value) {
    int index = presets::ReadLeadingInt(value);
    if (index >= m_view.EntryCount(listId)) {
        index = 0;
    }
    m_view.Select(listId, index < 0 ? -1 : index);
}

void CPanelConsoleDlg::SearchPorts() {
    const int count = m_view.EntryCount(kIdcPort);
    for (int i = 0; i < count; ++i) {
        m_view.Select(kIdcPort, i);
        const int speed = m_view.Selection(kIdcSpeed);
        const int port = m_view.Selection(kIdcPort);
        // No owner: the window is not on screen while it searches.
        if (m_link.OpenPort(port, speed, nullptr) == 0) {
            AnnounceOpenedPort(port, speed);
            return;
        }
    }
    m_view.Select(kIdcPort, -1);
    m_toolkit.ShowMessage(m_view.Owner(), kNoPortOpened, kErrorCaption, MessageIcon::Exclamation);
}

// The busy cursor covers the line pulse, the pause and the confirmation, not the open.
void CPanelConsoleDlg::AnnounceOpenedPort(int portIndex, int speedIndex) {
    const serial::Speed* speed = serial::SpeedAt(speedIndex);
    const std::string text =
        PortOpenedText(m_link.PortName(portIndex), speed != nullptr ? speed->text : "");
    BusyCursor busy(m_toolkit);
    serial::PulseModemLines(m_link, m_view.IsChecked(kIdcDtr), m_view.IsChecked(kIdcRts),
                            [this](std::chrono::milliseconds pause) { m_toolkit.Pause(pause); });
    m_toolkit.ShowMessage(m_view.Owner(), text, kConfirmCaption, MessageIcon::Information);
}

void CPanelConsoleDlg::OnPortOrSpeedCloseUp() {
    ReopenPort(m_view.Selection(kIdcPort), m_view.Selection(kIdcSpeed));
}

void CPanelConsoleDlg::ReopenPort(int portIndex, int speedIndex) {
    if (m_link.OpenPort(portIndex, speedIndex, m_view.Owner()) != 0) {
        const std::string name = m_link.PortName(portIndex);
        m_toolkit.ShowMessage(m_view.Owner(),
                              serial::CouldNotOpenPortText(name.empty() ? kNoPortName : name),
                              kErrorCaption, MessageIcon::Exclamation);
        m_view.Select(kIdcPort, -1);
        return;
    }
    AnnounceOpenedPort(portIndex, speedIndex);
}

void CPanelConsoleDlg::OnCommandSelected() {
    ReadFields();
    LoadPreset(presets::PresetSectionFor(m_view.Selection(kIdcCommand)));
    ShowFields();
}

void CPanelConsoleDlg::OnClearDisplay() {
    m_view.ClearTranscript(kIdcSendLog);
    m_view.ClearTranscript(kIdcRecvLog);
}

void CPanelConsoleDlg::OnSendData() {
    ReadFields();
    protocol::CommandFields fields;
    fields.commandIndex = m_view.Selection(kIdcCommand);
    fields.transparentIndex = m_view.Selection(kIdcTransparent);
    fields.fontSizeIndex = m_view.Selection(kIdcFontSize);
    fields.xText = m_strXaddress;
    fields.yText = m_strYaddress;
    fields.dataText = m_strData;
    fields.lcdsType = protocol::LcdsTypeFromIndex(m_view.Selection(kIdcLcdType));
    const protocol::BuildResult built = protocol::BuildCommandFrame(fields, m_frame, m_dataBytes);
    m_strCheckSum = built.checkSumText;
    m_strLengh = built.lenghText;
    ShowFields();

    serial::ExchangeResult result;
    {
        // From the write to the end of the reply window: clicks made meanwhile wait in the
        // queue and are handled afterwards, and the cursor says so.
        BusyCursor busy(m_toolkit);
        result =
            serial::Exchange(m_link, m_frame, built.frameLength,
                             [this, &built](const serial::ExchangeResult& written) {
                                 if (!written.Sent()) {
                                     return;
                                 }
                                 // The LCDs Type, read again, decides what is shown.
                                 const int shown = protocol::TranscriptBytes(
                                     m_frame, built.frameLength,
                                     protocol::LcdsTypeFromIndex(m_view.Selection(kIdcLcdType)));
                                 m_view.AppendTranscript(
                                     kIdcSendLog, protocol::FormatHexBytes(m_frame.data(), shown));
                             });
    }
    if (!result.Sent()) {
        // A frame that did not go out whole is never shown as sent.
        const std::string name = m_link.PortName(m_view.Selection(kIdcPort));
        m_toolkit.ShowMessage(
            m_view.Owner(),
            !m_link.IsReady() || name.empty() ? std::string(kNoPortToSend) : CouldNotSendText(name),
            kErrorCaption, MessageIcon::Exclamation);
        return;
    }
    if (result.replied) {
        m_view.AppendTranscript(kIdcRecvLog,
                                protocol::FormatHexBytes(m_frame.data() + protocol::kReplyOffset,
                                                         protocol::kReplyLength));
    }
}

void CPanelConsoleDlg::OnSystemCommand(std::uint16_t commandId) {
    // The About item and the fifteen ids after it; every other command is the platform's.
    if ((commandId & 0xFFF0) == kIdmAboutBox) {
        m_view.ShowAboutBox();
        return;
    }
    m_view.DefaultSystemCommand(commandId);
}

void CPanelConsoleDlg::LoadPreset(std::string_view section) {
    const presets::CommandPreset preset = presets::ReadPreset(section);
    m_strLengh = preset.lengh;
    m_strXaddress = preset.xaddress;
    m_strYaddress = preset.yaddress;
    m_strTransparent = preset.transprent;
    m_strFontType = preset.fonttype;
    m_strData = preset.data;
    m_strCheckSum = preset.checksum;
}

// The five bound fields and their members, in the order they are exchanged.
std::array<CPanelConsoleDlg::FieldBinding, 5> CPanelConsoleDlg::Bindings() {
    return {{
        {kIdcLengh, &m_strLengh},
        {kIdcCheckSum, &m_strCheckSum},
        {kIdcXaddress, &m_strXaddress},
        {kIdcYaddress, &m_strYaddress},
        {kIdcData, &m_strData},
    }};
}

void CPanelConsoleDlg::ReadFields() {
    for (const auto& [id, text] : Bindings()) {
        *text = m_view.FieldText(id);
    }
}

void CPanelConsoleDlg::ShowFields() {
    for (const auto& [id, text] : Bindings()) {
        m_view.SetFieldText(id, *text);
    }
}

}  // namespace glassbench::ui
