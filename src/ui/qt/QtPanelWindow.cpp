#include "ui/qt/QtPanelWindow.h"

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

namespace glassbench::ui::qt {

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

QtPanelWindow::QtPanelWindow(serial::SerialLink& link, Toolkit& toolkit, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      icon_(LoadAppIcon()),
      controls_(BuildDialog(*this, OperatorDialogTemplate(), link.Names(), icon_)),
      logic_(*this, link, toolkit) {
    auto list = [this](int id) { return static_cast<CloseUpComboBox*>(Control(id)); };
    CloseUpComboBox* port = list(kIdcPort);
    port->SetChoiceOnlyFromDropDown(true);
    list(kIdcSpeed)->SetChoiceOnlyFromDropDown(true);

    for (const int id : {kIdcPort, kIdcSpeed}) {
        connect(list(id), &CloseUpComboBox::closedUp, this,
                [this] { logic_.OnPortOrSpeedCloseUp(); });
    }
    // `activated` comes from the operator only; selections the program makes raise nothing.
    connect(list(kIdcCommand), &QComboBox::activated, this, [this] { logic_.OnCommandSelected(); });
    connect(static_cast<QPushButton*>(Control(kIdcSendData)), &QPushButton::clicked, this,
            [this] { logic_.OnSendData(); });
    connect(static_cast<QPushButton*>(Control(kIdcClearDisplay)), &QPushButton::clicked, this,
            [this] { logic_.OnClearDisplay(); });
    systemMenu_ = std::make_unique<SystemMenu>(
        *this, controls_.IconLabel(), [this](std::uint16_t id) { logic_.OnSystemCommand(id); });
    qApp->installEventFilter(this);
}

QtPanelWindow::~QtPanelWindow() {
    qApp->removeEventFilter(this);
}

QtPanelWindow* QtPanelWindow::Find() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* panel = qobject_cast<QtPanelWindow*>(window)) {
            return panel;
        }
    }
    return nullptr;
}

std::string QtPanelWindow::TranscriptText(int id) const {
    return static_cast<TranscriptBox*>(Control(id))->Text().toLatin1().toStdString();
}

WindowHandle QtPanelWindow::Owner() const {
    return OwnerHandle(const_cast<QtPanelWindow*>(this));
}

void QtPanelWindow::RunModal(const std::function<void()>& initialise) {
    // Centred before initialisation, so that the start-up message box, which is shown before
    // the dialog, appears where the dialog will.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    initialise();
    exec();
}

std::string QtPanelWindow::FieldText(int id) const {
    return static_cast<QLineEdit*>(Control(id))->text().toLatin1().toStdString();
}

void QtPanelWindow::SetFieldText(int id, std::string_view text) {
    auto* field = static_cast<QLineEdit*>(Control(id));
    // Change notifications of the exchange itself never reach a handler.
    const QSignalBlocker quiet(field);
    field->setText(Latin1(text));
}

int QtPanelWindow::Selection(int id) const {
    const auto* list = static_cast<QComboBox*>(Control(id));
    if (list->isEditable()) {
        return list->findText(list->currentText(), Qt::MatchFixedString);
    }
    return list->currentIndex();
}

void QtPanelWindow::Select(int id, int index) {
    static_cast<QComboBox*>(Control(id))->setCurrentIndex(index);
}

int QtPanelWindow::EntryCount(int id) const {
    return static_cast<QComboBox*>(Control(id))->count();
}

bool QtPanelWindow::IsChecked(int id) const {
    return static_cast<QCheckBox*>(Control(id))->isChecked();
}

void QtPanelWindow::SetChecked(int id, bool checked) {
    static_cast<QCheckBox*>(Control(id))->setChecked(checked);
}

void QtPanelWindow::AppendTranscript(int id, std::string_view text) {
    auto* box = static_cast<TranscriptBox*>(Control(id));
    box->Append(text);
    // A reply wait may block the thread next; the operator sees the text before it starts.
    box->repaint();
}

void QtPanelWindow::ClearTranscript(int id) {
    static_cast<TranscriptBox*>(Control(id))->Clear();
}

void QtPanelWindow::Focus(int id) {
    if (QWidget* control = Control(id)) {
        control->setFocus(Qt::OtherFocusReason);
    }
}

void QtPanelWindow::SetIconsAndFonts() {
    setWindowIcon(icon_);
    Control(kIdcSendLog)->setFont(FixedPitchFont());
}

bool QtPanelWindow::HasSystemMenu() const {
    return systemMenu_->Exists();
}

void QtPanelWindow::AppendSystemMenuSeparator() {
    systemMenu_->AppendSeparator();
}

void QtPanelWindow::AppendSystemMenuItem(unsigned commandId, std::string_view text) {
    systemMenu_->AppendItem(static_cast<std::uint16_t>(commandId),
                            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void QtPanelWindow::DefaultSystemCommand(std::uint16_t commandId) {
    systemMenu_->DefaultProcessing(commandId);
}

void QtPanelWindow::ShowAboutBox() {
    CAboutDlg about(this);
    about.exec();
}

// This dialog's widgets, and those of a popup opened from it: an open drop-down list is a
// window of its own, whose parent is the list box.
bool QtPanelWindow::IsOwnWidget(QObject* watched) const {
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

void QtPanelWindow::UpdatePortToolTip() {
    const std::string text = logic_.PortToolTip();
    Control(kIdcPort)->setToolTip(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool QtPanelWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::ToolTip && watched == Control(kIdcPort)) {
        UpdatePortToolTip();
        return false;  // the box shows it
    }
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

}  // namespace glassbench::ui::qt
