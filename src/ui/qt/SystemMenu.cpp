#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>

#include "ui/qt/SystemMenu.h"

namespace glassbench::ui::qt {

struct SystemMenu::Impl : QObject {
    Impl(QWidget& w, QLabel* icon, CommandHandler h) : window(w), iconLabel(icon), handler(h) {
        menu = new QMenu(&window);
        window.installEventFilter(this);
        if (iconLabel != nullptr) {
            iconLabel->installEventFilter(this);
            iconLabel->setCursor(Qt::PointingHandCursor);
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window && event->type() == QEvent::ContextMenu) {
            auto* request = static_cast<QContextMenuEvent*>(event);
            // A control with its own menu (the edit fields, the transcripts) keeps it; the
            // background is whatever cannot take the focus.
            QWidget* under = window.childAt(request->pos());
            if (under != nullptr && under->focusPolicy() != Qt::NoFocus) {
                return false;
            }
            Popup(request->globalPos());
            return true;
        }
        if (watched == iconLabel && event->type() == QEvent::MouseButtonPress) {
            auto* click = static_cast<QMouseEvent*>(event);
            if (click->button() == Qt::LeftButton || click->button() == Qt::RightButton) {
                Popup(iconLabel->mapToGlobal(QPoint(0, iconLabel->height())));
                return true;
            }
        }
        return false;
    }

    void Popup(const QPoint& at) {
        if (!menu->isEmpty()) {
            menu->popup(at);
        }
    }

    QWidget& window;
    QLabel* iconLabel;
    CommandHandler handler;
    QMenu* menu;  // owned by the window, as Qt parents own their children
};

SystemMenu::SystemMenu(QWidget& window, QLabel* iconLabel, CommandHandler handler)
    : impl_(std::make_unique<Impl>(window, iconLabel, std::move(handler))) {}

SystemMenu::~SystemMenu() {
    impl_->window.removeEventFilter(impl_.get());
    if (impl_->iconLabel != nullptr) {
        impl_->iconLabel->removeEventFilter(impl_.get());
    }
}

bool SystemMenu::Exists() const {
    return true;
}

void SystemMenu::AppendSeparator() {
    impl_->menu->addSeparator();
}

void SystemMenu::AppendItem(std::uint16_t commandId, const QString& text) {
    Impl* impl = impl_.get();
    impl->menu->addAction(text, impl->menu, [impl, commandId] { impl->handler(commandId); });
}

void SystemMenu::DefaultProcessing(std::uint16_t commandId) {
    switch (commandId & 0xFFF0) {
        case kScClose:
            impl_->window.close();
            break;
        case kScMinimize:
            impl_->window.showMinimized();
            break;
        case kScRestore:
            impl_->window.showNormal();
            break;
        default:
            // Moving and sizing belong to the window manager here.
            break;
    }
}

QMenu* SystemMenu::PopupMenu() const {
    return impl_->menu;
}

}  // namespace glassbench::ui::qt
