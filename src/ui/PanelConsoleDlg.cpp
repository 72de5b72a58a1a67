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
    : view_(view), link_(link), toolkit_(toolkit) {
    LoadPreset(presets::PresetSectionFor(0));
}

void CPanelConsoleDlg::DoModal() {
    view_.RunModal([this] { OnInitDialog(); });
}

bool CPanelConsoleDlg::OnInitDialog() {
    // The window filled its lists from the template when it built its controls.
    ShowFields();

    if (view_.HasSystemMenu()) {
        const std::string_view about = LoadResourceString(kIdsAboutBox);
        if (!about.empty()) {
            view_.AppendSystemMenuSeparator();
            view_.AppendSystemMenuItem(kIdmAboutBox, about);
        }
    }
    view_.SetIconsAndFonts();

    view_.Select(kIdcSpeed, serial::kDefaultSpeedIndex);
    view_.SetChecked(kIdcRts, true);
    view_.SetChecked(kIdcDtr, true);
    // The start-up preset's TRANSPRENT and FONTTYPE pick the first Transparent and FontSize.
    SelectFromPreset(kIdcTransparent, m_strTransparent);
    SelectFromPreset(kIdcFontSize, m_strFontType);

    SearchPorts();

    // Selections the program makes raise no Command change, so no preset is loaded again.
    view_.Select(kIdcCommand, 0);
    view_.Select(kIdcLcdType, 0);

    // The focus starts on the first visible, enabled tab stop in template order: Data.
    view_.Focus(FirstTabStop(OperatorDialogTemplate()));
    return true;
}

// Read as C reads a number; too large selects the first entry, negative leaves no selection.
void CPanelConsoleDlg::SelectFromPreset(int listId, const std::string& value) {
    int index = presets::ReadLeadingInt(value);
    if (index >= view_.EntryCount(listId)) {
        index = 0;
    }
    view_.Select(listId, index < 0 ? -1 : index);
}

void CPanelConsoleDlg::SearchPorts() {
    const int count = view_.EntryCount(kIdcPort);
    for (int i = 0; i < count; ++i) {
        view_.Select(kIdcPort, i);
        const int speed = view_.Selection(kIdcSpeed);
        const int port = view_.Selection(kIdcPort);
        // No owner: the window is not on screen while it searches.
        if (link_.OpenPort(port, speed, nullptr) == 0) {
            AnnounceOpenedPort(port, speed);
            return;
        }
    }
    view_.Select(kIdcPort, -1);
    toolkit_.ShowMessage(view_.Owner(), kNoPortOpened, kErrorCaption, MessageIcon::Exclamation);
}

// The busy cursor covers the line pulse, the pause and the confirmation, not the open.
void CPanelConsoleDlg::AnnounceOpenedPort(int portIndex, int speedIndex) {
    const serial::Speed* speed = serial::SpeedAt(speedIndex);
    const std::string text =
        PortOpenedText(link_.PortName(portIndex), speed != nullptr ? speed->text : "");
    BusyCursor busy(toolkit_);
    serial::PulseModemLines(link_, view_.IsChecked(kIdcDtr), view_.IsChecked(kIdcRts),
                            [this](std::chrono::milliseconds pause) { toolkit_.Pause(pause); });
    toolkit_.ShowMessage(view_.Owner(), text, kConfirmCaption, MessageIcon::Information);
}

std::string CPanelConsoleDlg::PortToolTip() const {
    return link_.DescribePortAt(view_.Selection(kIdcPort));
}

void CPanelConsoleDlg::OnPortOrSpeedCloseUp() {
    ReopenPort(view_.Selection(kIdcPort), view_.Selection(kIdcSpeed));
}

void CPanelConsoleDlg::ReopenPort(int portIndex, int speedIndex) {
    if (link_.OpenPort(portIndex, speedIndex, view_.Owner()) != 0) {
        const std::string name = link_.PortName(portIndex);
        toolkit_.ShowMessage(view_.Owner(),
                             serial::CouldNotOpenPortText(name.empty() ? kNoPortName : name),
                             kErrorCaption, MessageIcon::Exclamation);
        view_.Select(kIdcPort, -1);
        return;
    }
    AnnounceOpenedPort(portIndex, speedIndex);
}

void CPanelConsoleDlg::OnCommandSelected() {
    ReadFields();
    LoadPreset(presets::PresetSectionFor(view_.Selection(kIdcCommand)));
    ShowFields();
}

void CPanelConsoleDlg::OnClearDisplay() {
    view_.ClearTranscript(kIdcSendLog);
    view_.ClearTranscript(kIdcRecvLog);
}

void CPanelConsoleDlg::OnSendData() {
    ReadFields();
    protocol::CommandFields fields;
    fields.commandIndex = view_.Selection(kIdcCommand);
    fields.transparentIndex = view_.Selection(kIdcTransparent);
    fields.fontSizeIndex = view_.Selection(kIdcFontSize);
    fields.xText = m_strXaddress;
    fields.yText = m_strYaddress;
    fields.dataText = m_strData;
    fields.lcdsType = protocol::LcdsTypeFromIndex(view_.Selection(kIdcLcdType));
    const protocol::BuildResult built = protocol::BuildCommandFrame(fields, m_frame, m_dataBytes);
    m_strCheckSum = built.checkSumText;
    m_strLengh = built.lenghText;
    ShowFields();

    // A port lost since (the adapter pulled, the module power-cycled) is opened again, the
    // same one, with the pulse every open has, and the frame goes there; if it is not back,
    // the send fails as a send to a pulled adapter does.
    const bool lost = link_.Lost();
    if (lost && link_.Reopen() == 0) {
        BusyCursor busy(toolkit_);
        serial::PulseModemLines(link_, view_.IsChecked(kIdcDtr), view_.IsChecked(kIdcRts),
                                [this](std::chrono::milliseconds pause) { toolkit_.Pause(pause); });
    }

    serial::ExchangeResult result;
    {
        // From the write to the end of the reply window: clicks made meanwhile wait in the
        // queue and are handled afterwards, and the cursor says so.
        BusyCursor busy(toolkit_);
        result =
            serial::Exchange(link_, m_frame, built.frameLength,
                             [this, &built](const serial::ExchangeResult& written) {
                                 if (!written.Sent()) {
                                     return;
                                 }
                                 // The LCDs Type, read again, decides what is shown.
                                 const int shown = protocol::TranscriptBytes(
                                     m_frame, built.frameLength,
                                     protocol::LcdsTypeFromIndex(view_.Selection(kIdcLcdType)));
                                 view_.AppendTranscript(
                                     kIdcSendLog, protocol::FormatHexBytes(m_frame.data(), shown));
                             });
    }
    if (!result.Sent()) {
        // A frame that did not go out whole is never shown as sent.
        const std::string name = link_.PortName(view_.Selection(kIdcPort));
        const bool noPort = (!link_.IsReady() && !lost && !link_.Lost()) || name.empty();
        toolkit_.ShowMessage(view_.Owner(),
                             noPort ? std::string(kNoPortToSend) : CouldNotSendText(name),
                             kErrorCaption, MessageIcon::Exclamation);
        return;
    }
    if (result.replied) {
        view_.AppendTranscript(kIdcRecvLog,
                               protocol::FormatHexBytes(m_frame.data() + protocol::kReplyOffset,
                                                        protocol::kReplyLength));
    }
}

void CPanelConsoleDlg::OnSystemCommand(std::uint16_t commandId) {
    // The About item and the fifteen ids after it; every other command is the platform's.
    if ((commandId & 0xFFF0) == kIdmAboutBox) {
        view_.ShowAboutBox();
        return;
    }
    view_.DefaultSystemCommand(commandId);
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
        *text = view_.FieldText(id);
    }
}

void CPanelConsoleDlg::ShowFields() {
    for (const auto& [id, text] : Bindings()) {
        view_.SetFieldText(id, *text);
    }
}

}  // namespace glassbench::ui
