// ui_screenshot PATH: runs the application's start-up step on an X server (Xvfb in
// scripts/screenshot.sh), accepts the port confirmation, sends one Clear Screen so that both
// transcripts show a frame and its reply, and saves the window as the X server shows it, frame
// and all, as a PNG at PATH. The port comes from GLASSBENCH_PORTS, as it does for the program.
//
// The operator's part is played through Qt from the event loop, while the application's own
// modal runs are in progress; each step waits for the window to be ready for it.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <iterator>

#include "ui/qt/PanelConsoleApp.h"
#include "ui/qt/QtPanelWindow.h"

using glassbench::ui::qt::CPanelConsoleApp;
using glassbench::ui::qt::QtPanelWindow;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ui_screenshot PATH.png\n");
        return 2;
    }
    QApplication application(argc, argv);
    CPanelConsoleApp app;
    const auto dialog = [] { return QtPanelWindow::Find(); };
    const auto active = [](QWidget* w) { return w != nullptr && w->isActiveWindow(); };
    const char* const steps[] = {"the port confirmation", "the window", "the module's reply"};
    std::size_t step = 0;
    bool saved = false;
    QElapsedTimer sinceLastStep;
    sinceLastStep.start();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (step == 0 && active(box)) {
            box->accept();
        } else if (step == 1 && box == nullptr && active(dialog())) {
            static_cast<QPushButton*>(dialog()->Control(glassbench::ui::kIdcSendData))->click();
            // Back to the Data field, where the operator types, before the picture.
            dialog()->Control(glassbench::ui::kIdcData)->setFocus();
            dialog()->repaint();
        } else if (step == 2 && !dialog()->TranscriptText(glassbench::ui::kIdcRecvLog).empty()) {
            const QRect area = dialog()->frameGeometry();
            saved = dialog()
                        ->screen()
                        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                        .save(QString::fromLocal8Bit(argv[1]), "PNG");
            dialog()->close();
        } else {
            if (sinceLastStep.hasExpired(20000)) {
                // Leave the modal runs, so that the tool reports instead of hanging.
                for (QWidget* window : QApplication::topLevelWidgets()) {
                    window->close();
                }
            }
            return;
        }
        ++step;
        sinceLastStep.restart();
    });
    timer.start(20);
    app.InitInstance();
    if (step < std::size(steps)) {
        std::fprintf(stderr, "ui_screenshot: gave up waiting for %s\n", steps[step]);
        return 1;
    }
    if (!saved) {
        std::fprintf(stderr, "ui_screenshot: could not write %s\n", argv[1]);
        return 1;
    }
    std::printf("ui_screenshot: saved %s\n", argv[1]);
    return 0;
}
