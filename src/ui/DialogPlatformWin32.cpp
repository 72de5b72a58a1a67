#include <windows.h>

#include <utility>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QLabel>
#include <QWidget>

#include "ui/DialogPlatform.h"

namespace glassbench::ui {

QString PortListText(int index, std::string_view) {
    return QStringLiteral("COM %1").arg(index + 1);
}

struct SystemMenu::Impl : QAbstractNativeEventFilter {
    Impl(QWidget& w, CommandHandler h) : window(w), handler(std::move(h)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~Impl() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    HWND Handle() const { return reinterpret_cast<HWND>(window.winId()); }

    // Qt hands every message of its windows to the native filters before its own handling,
    // sent ones included, which is how WM_SYSCOMMAND of the system menu reaches the dialog.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG") {
            return false;
        }
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != WM_SYSCOMMAND || msg->hwnd != Handle()) {
            return false;
        }
        lastParam = msg->lParam;
        handler(static_cast<std::uint16_t>(msg->wParam & 0xFFFF));
        *result = 0;
        return true;
    }

    QWidget& window;
    CommandHandler handler;
    LPARAM lastParam = 0;
};

SystemMenu::SystemMenu(QWidget& window, QLabel*, CommandHandler handler)
    : impl_(std::make_unique<Impl>(window, std::move(handler))) {}

SystemMenu::~SystemMenu() = default;

bool SystemMenu::Exists() const {
    return GetSystemMenu(impl_->Handle(), FALSE) != nullptr;
}

void SystemMenu::AppendSeparator() {
    if (HMENU menu = GetSystemMenu(impl_->Handle(), FALSE)) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
}

void SystemMenu::AppendItem(std::uint16_t commandId, const QString& text) {
    if (HMENU menu = GetSystemMenu(impl_->Handle(), FALSE)) {
        AppendMenuW(menu, MF_STRING, commandId, reinterpret_cast<LPCWSTR>(text.utf16()));
    }
}

void SystemMenu::DefaultProcessing(std::uint16_t commandId) {
    DefWindowProcW(impl_->Handle(), WM_SYSCOMMAND, commandId, impl_->lastParam);
}

QMenu* SystemMenu::PopupMenu() const {
    return nullptr;
}

}  // namespace glassbench::ui
