// The real window on a real X server (Xvfb), driven through XTEST as a person at the keyboard
// and mouse would drive it: the application's own start-up step opens the virtual module that
// GLASSBENCH_PORTS names and confirms it in a real message box, Return dismisses the box,
// Escape leaves the window open, Down and Enter in the open Command list choose nothing, and
// a click on "Send data" puts the Clear Screen frame on the wire. The steps run from the event
// loop, each when the window is ready for it, while the application's own modal runs are in
// progress.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include "TempDir.h"
#include "UiTestSupport.h"
#include "XInput.h"
#include "ui/qt/PanelConsoleApp.h"
#include "ui/qt/QtPanelWindow.h"

namespace glassbench::ui::testing {
namespace {

using namespace glassbench::ui::qt;

TEST(XvfbWindow, ConfirmsThePortTakesReturnAndEscapeAndSendsOnAClick) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    ASSERT_TRUE(xinput::Usable()) << "no X display or no XTEST";
    glassbench::testing::TempDir scratch;
    VirtualModule module(scratch.path() / "module");
    ASSERT_TRUE(module.Ready()) << module.out() << module.err();
    ::setenv("GLASSBENCH_PORTS", module.Link().c_str(), 1);

    CPanelConsoleApp app;
    const auto dialog = [] { return QtPanelWindow::Find(); };
    const auto box = [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); };
    const auto active = [](QWidget* w) { return w && w->isVisible() && w->isActiveWindow(); };
    const auto data = [&] { return static_cast<QLineEdit*>(dialog()->Control(kIdcData)); };
    const auto command = [&] { return static_cast<QComboBox*>(dialog()->Control(kIdcCommand)); };
    const auto click = [&](int id) {
        QWidget* control = dialog()->Control(id);
        const QPoint centre = control->mapToGlobal(control->rect().center());
        xinput::Click(centre.x(), centre.y());
    };
    int commandAfterKeys = -1;
    QString boxText;
    int step = 0;  // the confirmation, the window, the typed keys, the list, its keys, the reply
    QElapsedTimer sinceLastStep;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (step == 0 && active(box())) {
            boxText = box()->text();
            xinput::Key("Return");
        } else if (step == 1 && !box() && active(dialog()) && data()->hasFocus()) {
            // A digit typed after Escape arrives only if the window stayed open.
            xinput::Key("End"), xinput::Key("Escape"), xinput::Key("5");
        } else if (step == 2 && data()->text() == "05" && active(dialog())) {
            click(kIdcCommand);
        } else if (step == 3 && command()->view()->isVisible()) {
            // Down and Enter in the open list choose nothing: the dialog takes both.
            xinput::Key("Down"), xinput::Key("Return");
        } else if (step == 4 && !command()->view()->isVisible() && active(dialog()) &&
                   data()->hasFocus()) {
            commandAfterKeys = command()->currentIndex();
            click(kIdcSendData);
        } else if (step == 5 && dialog()->TranscriptText(kIdcRecvLog) == "AA 04 80 00 2E ") {
            dialog()->close();
        } else {
            if (sinceLastStep.hasExpired(10000)) {
                // Stuck: leave the modal runs, so that the test reports instead of hanging.
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
    sinceLastStep.start();

    app.InitInstance();  // the start-up step: search, confirm, run until closed
    EXPECT_EQ(step, 6) << "stuck at step " << step;
    EXPECT_EQ(commandAfterKeys, 0);
    EXPECT_EQ(boxText.toStdString(), "Port " + module.Link() + " opened at 9600 baud.");
    // The module read exactly AA 04 80 00 2E.
    EXPECT_TRUE(module.Printed("Clear Screen data=[00] checksum=2E good -> status 0\n"))
        << module.out();
    EXPECT_EQ(module.out().find("garbage"), std::string::npos) << module.out();
}

}  // namespace
}  // namespace glassbench::ui::testing
