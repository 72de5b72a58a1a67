#include "ui/qt/QtToolkit.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

// Last: Xlib defines macros (Status, Bool) that Qt's headers must not see.
#include <X11/Xlib.h>

namespace glassbench::ui::qt {

void QtToolkit::ShowMessage(WindowHandle owner, std::string_view text, std::string_view caption,
                            MessageIcon icon) {
    if (quitting_) {
        return;
    }
    // Texts are single-byte: device names and speeds as the serial tables hold them.
    QMessageBox box(
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Warning,
        QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())),
        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok,
        OwnerWidget(owner));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

void QtToolkit::BeginBusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A reply wait blocks the thread next, and the X server hears of the new cursor only
    // when Qt's connection is flushed, which its event loop would do.
    // The offscreen platform answers for X11 too, with no display.
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (Display* display = x11 != nullptr ? x11->display() : nullptr) {
        XFlush(display);
    }
}

void QtToolkit::EndBusyCursor() {
    QApplication::restoreOverrideCursor();
}

void QtToolkit::Pause(std::chrono::milliseconds duration) {
    const QDeadlineTimer deadline(duration, Qt::PreciseTimer);
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    // A nested loop can be left early (a quit posted from elsewhere), so the deadline, not the
    // timer, decides when the pause is over.
    while (!deadline.hasExpired() && !quitting_) {
        wake.start(std::chrono::milliseconds(deadline.remainingTime()));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void QtToolkit::Quit() {
    quitting_ = true;
    // Every event loop of the thread ends, and none started later runs: the dialog's modal
    // run returns, and with it the start-up step.
    QCoreApplication::exit(0);
}

}  // namespace glassbench::ui::qt
