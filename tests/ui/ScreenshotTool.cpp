// ui_screenshot PATH: runs the application's start-up step on an X server (Xvfb in
// scripts/screenshot.sh), answers the port confirmation with Return, clicks "Send data" once
// so that both transcripts show a frame and its reply, and saves the window as the X server
// shows it, as a PNG at PATH. The port comes from GLASSBENCH_PORTS, as it does for the program.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWindow>
#include <cstdio>
#include <string>

#include "StepScript.h"
#include "XInput.h"
#include "ui/PanelConsoleApp.h"
#include "ui/PanelConsoleDlg.h"

using glassbench::ui::CPanelConsoleApp;
using glassbench::ui::CPanelConsoleDlg;
using glassbench::ui::kIdcData;
using glassbench::ui::kIdcSendData;
using glassbench::ui::testing::IsActive;
using glassbench::ui::testing::StepScript;
using glassbench::ui::testing::XInput;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ui_screenshot PATH.png\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QApplication application(argc, argv);
    XInput input;
    if (!input.Usable()) {
        std::fprintf(stderr, "ui_screenshot: no X display or no XTEST extension\n");
        return 1;
    }
    CPanelConsoleApp app;
    auto dialog = [&] { return static_cast<CPanelConsoleDlg*>(app.MainWindow()); };
    auto box = [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); };
    bool saved = false;
    std::size_t replyLength = 0;

    StepScript script({
        {"the port confirmation", [&] { return IsActive(box()); }, [&] { input.Key("Return"); }},
        {"the window",
         [&] {
             return box() == nullptr && dialog() != nullptr && IsActive(dialog()) &&
                    dialog()->Control(kIdcData)->hasFocus();
         },
         [&] {
             QWidget* send = dialog()->Control(kIdcSendData);
             const QPoint centre = send->mapToGlobal(send->rect().center());
             input.Click(centre.x(), centre.y());
         }},
        {"the frame and its reply", [&] { return !dialog()->RecvLog().empty(); },
         [&] {
             replyLength = dialog()->RecvLog().size();
             // Back to the Data field, where the operator types, before the picture.
             dialog()->Control(kIdcData)->setFocus();
             dialog()->repaint();
         }},
        {"the window painted", [&] { return dialog()->Control(kIdcData)->hasFocus(); },
         [&] {
             // What the X server shows, frame and all, as a person would see it.
             const QRect area = dialog()->frameGeometry();
             const QPixmap shot =
                 dialog()->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
             saved = shot.save(path, "PNG");
             dialog()->close();
         }},
    });
    app.InitInstance();
    if (!script.Stuck().empty()) {
        std::fprintf(stderr, "ui_screenshot: gave up waiting for %s\n", script.Stuck().c_str());
        return 1;
    }
    if (!saved) {
        std::fprintf(stderr, "ui_screenshot: could not write %s\n", argv[1]);
        return 1;
    }
    std::printf("ui_screenshot: saved %s (reply of %zu characters shown)\n", argv[1], replyLength);
    return 0;
}
