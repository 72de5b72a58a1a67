#include "ui/PanelConsoleDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <filesystem>
#include <system_error>
#include <vector>

#include "presets/PresetFile.h"
#include "protocol/HexText.h"
#include "serial/Exchange.h"
#include "serial/PortTables.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/CloseUpComboBox.h"
#include "ui/DialogPlatform.h"
#include "ui/KeyboardFilter.h"
#include "ui/TranscriptBox.h"

namespace glassbench::ui {

namespace {

constexpr std::string_view kPortOpenedFormat = "Port %s opened at %s baud.";
constexpr std::string_view kNoPortOpened = "Could not open any of the serial ports.";
constexpr std::string_view kConfirmCaption = "Orvane Glassbench";
constexpr std::string_view kErrorCaption = "Error";
// What the messages name when the Port list has no selection, which has no device.
constexpr std::string_view kNoPortName = "(none)";

// Fills each "%s" of `format` with the next value, in order.
std::string Substitute(std::string_view format, std::initializer_list<std::string_view> values) {
    std::string out;
    auto next = values.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' &&
            next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

// A selection read from the list or, for a list the operator can type into, from the entry
// that the typed text names: what the box shows is what is used.
int Selection(const QComboBox& list) {
    if (list.isEditable()) {
        return list.findText(list.currentText(), Qt::MatchFixedString);
    }
    return list.currentIndex();
}

// Read from a preset value: out-of-range large values select the first entry, negative ones
// leave the list with no selection.
void SelectFromPreset(QComboBox& list, const std::string& value) {
    int index = presets::ReadLeadingInt(value);
    if (index >= list.count()) {
        index = 0;
    }
    list.setCurrentIndex(index < 0 ? -1 : index);
}

bool IsFixedPitch(const QFont& font) {
    // QFontInfo::fixedPitch() is false for some monospaced fonts under fontconfig (Noto Sans
    // Mono among them); equal advances are what the transcript needs.
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(QLatin1Char('i')) ==
           metrics.horizontalAdvance(QLatin1Char('W'));
}

// The system's fixed-pitch font. A platform without a theme may answer the request with the
// proportional default font; ask the font matcher then.
QFont FixedPitchFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!IsFixedPitch(font)) {
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::TypeWriter);
    }
    return font;
}

std::vector<QString> PortTexts(const serial::PortNames& names) {
    std::vector<QString> texts;
    texts.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        texts.push_back(PortListText(static_cast<int>(i), names[i]));
    }
    return texts;
}

}  // namespace

CPanelConsoleDlg::CPanelConsoleDlg(serial::SerialLink& link, Toolkit& toolkit, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_link(link),
      m_toolkit(toolkit),
      m_hIcon(LoadAppIcon()) {
    const std::vector<QString> ports = PortTexts(m_link.Names());
    m_controls = BuildDialog(*this, OperatorDialogTemplate(), ports, m_hIcon);

    auto list = [this](int id) { return static_cast<CCloseUpComboBox*>(Control(id)); };
    m_cbLcdType = list(kIdcLcdType);
    m_cbFontSize = list(kIdcFontSize);
    m_cbCommand = list(kIdcCommand);
    m_cbTransparent = list(kIdcTransparent);
    m_cbSpeed = list(kIdcSpeed);
    m_cbPort = list(kIdcPort);
    m_editSendLog = static_cast<CTranscriptBox*>(Control(kIdcSendLog));
    m_editRecvLog = static_cast<CTranscriptBox*>(Control(kIdcRecvLog));
    m_chkRts = static_cast<QCheckBox*>(Control(kIdcRts));
    m_chkDtr = static_cast<QCheckBox*>(Control(kIdcDtr));

    m_cbPort->SetChoiceOnlyFromDropDown(true);
    m_cbPort->SetElideStart(true);
    m_cbSpeed->SetChoiceOnlyFromDropDown(true);
    connect(m_cbPort, &QComboBox::currentIndexChanged, m_cbPort,
            [port = m_cbPort] { port->setToolTip(port->currentText()); });

    connect(m_cbPort, &CCloseUpComboBox::closedUp, this, &CPanelConsoleDlg::OnPortOrSpeedCloseUp);
    connect(m_cbSpeed, &CCloseUpComboBox::closedUp, this, &CPanelConsoleDlg::OnPortOrSpeedCloseUp);
    // `activated` comes from the operator only; selections the program makes raise nothing.
    connect(m_cbCommand, &QComboBox::activated, this, &CPanelConsoleDlg::OnCommandSelected);
    connect(static_cast<QPushButton*>(Control(kIdcSendData)), &QPushButton::clicked, this,
            &CPanelConsoleDlg::OnSendData);
    connect(static_cast<QPushButton*>(Control(kIdcClearDisplay)), &QPushButton::clicked, this,
            &CPanelConsoleDlg::OnClearDisplay);

    qApp->installEventFilter(this);
    LoadPreset(presets::PresetSectionFor(0));
}

CPanelConsoleDlg::~CPanelConsoleDlg() {
    qApp->removeEventFilter(this);
}

int CPanelConsoleDlg::DoModal() {
    // Centre the dialog before initialisation so that the start-up message box, which is
    // shown before the dialog, appears where the dialog will.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    OnInitDialog();
    return exec();
}

bool CPanelConsoleDlg::OnInitDialog() {
    // 1. The lists were filled from the template when the controls were built.
    ShowFields();

    // 2. The About item.
    m_systemMenu = std::make_unique<SystemMenu>(*this, m_controls.IconLabel(),
                                                [this](std::uint16_t id) { OnSystemCommand(id); });
    if (m_systemMenu->Exists()) {
        const std::string_view about = LoadResourceString(kIdsAboutBox);
        if (!about.empty()) {
            m_systemMenu->AppendSeparator();
            m_systemMenu->AppendItem(kIdmAboutBox, QString::fromUtf8(about.data(), about.size()));
        }
    }

    // 3. and 4.
    setWindowIcon(m_hIcon);
    m_editSendLog->setFont(FixedPitchFont());

    // 5. to 8.
    m_cbSpeed->setCurrentIndex(serial::kDefaultSpeedIndex);
    m_chkRts->setChecked(true);
    m_chkDtr->setChecked(true);
    SelectFromPreset(*m_cbTransparent, m_strTransparent);
    SelectFromPreset(*m_cbFontSize, m_strFontType);

    // 9.
    SearchPorts();

    // 10. Program selections raise no Command change, so no preset is loaded again.
    m_cbCommand->setCurrentIndex(0);
    m_cbLcdType->setCurrentIndex(0);

    // 11.
    if (QWidget* first = m_controls.FirstTabStop()) {
        first->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

void CPanelConsoleDlg::SearchPorts() {
    for (int i = 0; i < m_cbPort->count(); ++i) {
        m_cbPort->setCurrentIndex(i);
        const int speed = m_cbSpeed->currentIndex();
        const int port = m_cbPort->currentIndex();
        // No owner yet: the dialog is not on screen while it searches.
        if (m_link.OpenPort(port, speed, nullptr) == 0) {
            AnnounceOpenedPort(port, speed);
            return;
        }
    }
    m_cbPort->setCurrentIndex(-1);
    m_toolkit.ShowMessage(OwnerHandle(this), kNoPortOpened, kErrorCaption,
                          MessageIcon::Exclamation);
}

void CPanelConsoleDlg::AnnounceOpenedPort(int portIndex, int speedIndex) {
    const serial::Speed* speed = serial::SpeedAt(speedIndex);
    const std::string text = Substitute(
        kPortOpenedFormat, {m_link.PortName(portIndex), speed != nullptr ? speed->text : ""});
    BusyCursor busy(m_toolkit);
    serial::PulseModemLines(m_link, m_chkDtr->isChecked(), m_chkRts->isChecked(),
                            [this](std::chrono::milliseconds pause) { m_toolkit.Pause(pause); });
    m_toolkit.ShowMessage(OwnerHandle(this), text, kConfirmCaption, MessageIcon::Information);
}

void CPanelConsoleDlg::OnPortOrSpeedCloseUp() {
    ReopenPort(m_cbPort->currentIndex(), m_cbSpeed->currentIndex());
}

void CPanelConsoleDlg::ReopenPort(int portIndex, int speedIndex) {
    if (m_link.OpenPort(portIndex, speedIndex, OwnerHandle(this)) != 0) {
        const std::string name = m_link.PortName(portIndex);
        m_toolkit.ShowMessage(OwnerHandle(this),
                              serial::CouldNotOpenPortText(name.empty() ? kNoPortName : name),
                              kErrorCaption, MessageIcon::Exclamation);
        m_cbPort->setCurrentIndex(-1);
        return;
    }
    AnnounceOpenedPort(portIndex, speedIndex);
}

void CPanelConsoleDlg::OnCommandSelected() {
    ReadFields();
    LoadPreset(presets::PresetSectionFor(m_cbCommand->currentIndex()));
    ShowFields();
}

void CPanelConsoleDlg::OnClearDisplay() {
    m_editSendLog->Clear();
    m_editRecvLog->Clear();
    m_strSendLog.clear();
    m_strHex.clear();
    m_strRecvLog.clear();
}

int CPanelConsoleDlg::LcdTypeSelection() const {
    return Selection(*m_cbLcdType);
}

void CPanelConsoleDlg::OnSendData() {
    ReadFields();
    protocol::CommandFields fields;
    fields.commandIndex = m_cbCommand->currentIndex();
    fields.transparentIndex = m_cbTransparent->currentIndex();
    fields.fontSizeIndex = m_cbFontSize->currentIndex();
    fields.xText = m_strXaddress;
    fields.yText = m_strYaddress;
    fields.dataText = m_strData;
    fields.lcdsType = protocol::LcdsTypeFromIndex(LcdTypeSelection());
    const protocol::BuildResult built = protocol::BuildCommandFrame(fields, m_frame, m_dataBytes);
    m_dataCount = built.count;
    m_strCheckSum = built.checkSumText;
    m_strLengh = built.lenghText;
    ShowFields();

    const serial::ExchangeResult result =
        serial::Exchange(m_link, m_frame, built.frameLength, [&](const serial::ExchangeResult&) {
            const int shown = protocol::TranscriptBytes(
                m_frame, built.frameLength, protocol::LcdsTypeFromIndex(LcdTypeSelection()));
            m_strHex = protocol::FormatHexBytes(m_frame.data(), shown);
            m_strSendLog += m_strHex;
            m_editSendLog->Append(m_strHex);
            // The reply wait blocks the thread; the operator sees the frame before it starts.
            m_editSendLog->repaint();
        });
    if (result.replied) {
        m_strHex = protocol::FormatHexBytes(m_frame.data() + protocol::kReplyOffset,
                                            protocol::kReplyLength);
        m_strRecvLog += m_strHex;
        m_editRecvLog->Append(m_strHex);
    }
}

void CPanelConsoleDlg::OnSystemCommand(std::uint16_t commandId) {
    if ((commandId & 0xFFF0) == kIdmAboutBox) {
        CAboutDlg about(this);
        about.exec();
        return;
    }
    if (m_systemMenu != nullptr) {
        m_systemMenu->DefaultProcessing(commandId);
    }
}

void CPanelConsoleDlg::LoadPreset(std::string_view section) {
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::current_path(error);
    const std::filesystem::path found = presets::FindPresetFile(directory);
    m_strIniPath = (found.empty() ? directory / presets::kPresetFileName : found).string();
    // One look at the folder serves both the recorded path and the read.
    const presets::CommandPreset preset = presets::ReadPresetFile(found, section);
    m_strLengh = preset.lengh;
    m_strCmd = preset.cmd;
    m_strXaddress = preset.xaddress;
    m_strYaddress = preset.yaddress;
    m_strTransparent = preset.transprent;
    m_strFontType = preset.fonttype;
    m_strData = preset.data;
    m_strCheckSum = preset.checksum;
}

void CPanelConsoleDlg::ReadFields() {
    Exchange(true);
}

void CPanelConsoleDlg::ShowFields() {
    Exchange(false);
}

void CPanelConsoleDlg::Exchange(bool saveFromFields) {
    const struct {
        int id;
        std::string* text;
    } bindings[] = {
        {kIdcLengh, &m_strLengh},       {kIdcCheckSum, &m_strCheckSum},
        {kIdcXaddress, &m_strXaddress}, {kIdcYaddress, &m_strYaddress},
        {kIdcData, &m_strData},
    };
    for (const auto& binding : bindings) {
        auto* field = static_cast<QLineEdit*>(Control(binding.id));
        // Change notifications of the exchange itself never reach a handler.
        const QSignalBlocker quiet(field);
        if (saveFromFields) {
            *binding.text = field->text().toLatin1().toStdString();
        } else {
            field->setText(QString::fromLatin1(binding.text->data(),
                                               static_cast<qsizetype>(binding.text->size())));
        }
    }
}

bool CPanelConsoleDlg::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::ShortcutOverride) ||
        !watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (!IsDialogNavigationKey(key->key(), key->modifiers(), key->text())) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // Accepting the override tells Qt that no shortcut may take the key; the key press
        // that follows is swallowed below.
        key->accept();
        return true;
    }
    if (QWidget* data = Control(kIdcData)) {
        data->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

}  // namespace glassbench::ui
