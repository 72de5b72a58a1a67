#include "ui/qt/PanelWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

#include "serial/PortTables.h"
#include "ui/qt/AboutDlg.h"
#include "ui/qt/AppIcon.h"
#include "ui/qt/CloseUpComboBox.h"
#include "ui/qt/KeyboardFilter.h"
#include "ui/qt/QtToolkit.h"
#include "ui/qt/SystemMenu.h"
#include "ui/qt/TranscriptBox.h"

namespace glassbench::ui {

namespace {

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

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CPanelWindow::CPanelWindow(serial::SerialLink& link, Toolkit& toolkit, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_hIcon(LoadAppIcon()),
      m_controls(BuildDialog(*this, OperatorDialogTemplate(), link.Names(), m_hIcon)),
      m_logic(*this, link, toolkit) {
    auto list = [this](int id) { return static_cast<CCloseUpComboBox*>(Control(id)); };
    CCloseUpComboBox* port = list(kIdcPort);
    port->SetChoiceOnlyFromDropDown(true);
    list(kIdcSpeed)->SetChoiceOnlyFromDropDown(true);
    connect(port, &QComboBox::currentIndexChanged, port,
            [port] { port->setToolTip(port->currentText()); });

    for (const int id : {kIdcPort, kIdcSpeed}) {
        connect(list(id), &CCloseUpComboBox::closedUp, this,
                [this] { m_logic.OnPortOrSpeedCloseUp(); });
    }
    // `activated` comes from the operator only; selections the program makes raise nothing.
    connect(list(kIdcCommand), &QComboBox::activated, this,
            [this] { m_logic.OnCommandSelected(); });
    connect(static_cast<QPushButton*>(Control(kIdcSendData)), &QPushButton::clicked, this,
            [this] { m_logic.OnSendData(); });
    connect(static_cast<QPushButton*>(Control(kIdcClearDisplay)), &QPushButton::clicked, this,
            [this] { m_logic.OnClearDisplay(); });
    m_systemMenu = std::make_unique<SystemMenu>(
        *this, m_controls.IconLabel(), [this](std::uint16_t id) { m_logic.OnSystemCommand(id); });
    qApp->installEventFilter(this);
}

CPanelWindow::~CPanelWindow() {
    qApp->removeEventFilter(this);
}

CPanelWindow* CPanelWindow::Find() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* panel = qobject_cast<CPanelWindow*>(window)) {
            return panel;
        }
    }
    return nullptr;
}

std::string CPanelWindow::TranscriptText(int id) const {
    return static_cast<CTranscriptBox*>(Control(id))->Text().toLatin1().toStdString();
}

WindowHandle CPanelWindow::Owner() const {
    return OwnerHandle(const_cast<CPanelWindow*>(this));
}

void CPanelWindow::RunModal(const std::function<void()>& initialise) {
    // Centred before initialisation, so that the start-up message box, which is shown before
    // the dialog, appears where the dialog will.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    initialise();
    exec();
}

std::string CPanelWindow::FieldText(int id) const {
    return static_cast<QLineEdit*>(Control(id))->text().toLatin1().toStdString();
}

void CPanelWindow::SetFieldText(int id, std::string_view text) {
    auto* field = static_cast<QLineEdit*>(Control(id));
    // Change notifications of the exchange itself never reach a handler.
    const QSignalBlocker quiet(field);
    field->setText(Latin1(text));
}

int CPanelWindow::Selection(int id) const {
    const auto* list = static_cast<QComboBox*>(Control(id));
    if (list->isEditable()) {
        return list->findText(list->currentText(), Qt::MatchFixedString);
    }
    return list->currentIndex();
}

void CPanelWindow::Select(int id, int index) {
    static_cast<QComboBox*>(Control(id))->setCurrentIndex(index);
}

int CPanelWindow::EntryCount(int id) const {
    return static_cast<QComboBox*>(Control(id))->count();
}

bool CPanelWindow::IsChecked(int id) const {
    return static_cast<QCheckBox*>(Control(id))->isChecked();
}

void CPanelWindow::SetChecked(int id, bool checked) {
    static_cast<QCheckBox*>(Control(id))->setChecked(checked);
}

void CPanelWindow::AppendTranscript(int id, std::string_view text) {
    auto* box = static_cast<CTranscriptBox*>(Control(id));
    box->Append(text);
    // A reply wait may block the thread next; the operator sees the text before it starts.
    box->repaint();
}

void CPanelWindow::ClearTranscript(int id) {
    static_cast<CTranscriptBox*>(Control(id))->Clear();
}

void CPanelWindow::Focus(int id) {
    if (QWidget* control = Control(id)) {
        control->setFocus(Qt::OtherFocusReason);
    }
}

void CPanelWindow::SetIconsAndFonts() {
    setWindowIcon(m_hIcon);
    Control(kIdcSendLog)->setFont(FixedPitchFont());
}

bool CPanelWindow::HasSystemMenu() const {
    return m_systemMenu->Exists();
}

void CPanelWindow::AppendSystemMenuSeparator() {
    m_systemMenu->AppendSeparator();
}

void CPanelWindow::AppendSystemMenuItem(unsigned commandId, std::string_view text) {
    m_systemMenu->AppendItem(static_cast<std::uint16_t>(commandId),
                             QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void CPanelWindow::DefaultSystemCommand(std::uint16_t commandId) {
    m_systemMenu->DefaultProcessing(commandId);
}

void CPanelWindow::ShowAboutBox() {
    CAboutDlg about(this);
    about.exec();
}

// This dialog's widgets, and those of a popup opened from it: an open drop-down list is a
// window of its own, whose parent is the list box.
bool CPanelWindow::IsOwnWidget(QObject* watched) const {
    if (!watched->isWidgetType()) {
        return false;
    }
    const QWidget* window = static_cast<QWidget*>(watched)->window();
    while (window != this) {
        if (window->windowType() != Qt::Popup || window->parentWidget() == nullptr) {
            return false;
        }
        window = window->parentWidget()->window();
    }
    return true;
}

bool CPanelWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::ShortcutOverride) || !IsOwnWidget(watched)) {
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
    // A list that is dropped down closes as the focus leaves it, as on Windows.
    const QWidget* window = static_cast<QWidget*>(watched)->window();
    if (auto* list = window != this ? qobject_cast<QComboBox*>(window->parentWidget()) : nullptr) {
        list->hidePopup();
    }
    Focus(kIdcData);
    return true;
}

}  // namespace glassbench::ui
