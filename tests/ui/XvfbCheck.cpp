// The real window on a real X server (Xvfb), driven through the X server's XTEST extension as
// a person at the keyboard and mouse would drive it: the application's own start-up step
// opens the pty that GLASSBENCH_PORTS names and confirms it in a real message box, Return
// dismisses the box, Escape leaves the window open, and a mouse click on "Send data" puts the
// Clear Screen frame on the wire.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "StepScript.h"
#include "TestHex.h"
#include "UiTestSupport.h"
#include "XInput.h"
#include "ui/PanelConsoleApp.h"
#include "ui/PanelConsoleDlg.h"
#include "ui/TranscriptBox.h"

namespace glassbench::ui::testing {
namespace {

using glassbench::testing::Bytes;
using glassbench::testing::Hex;

CPanelConsoleDlg* Dialog(const CPanelConsoleApp& app) {
    return static_cast<CPanelConsoleDlg*>(app.MainWindow());
}

TEST(XvfbWindow, ConfirmsThePortTakesReturnAndEscapeAndSendsOnAClick) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    XInput input;
    ASSERT_TRUE(input.Usable()) << "no X display or no XTEST";

    Pty pty;
    ScriptedModule module(pty, {Bytes("01 02 03 04 05")});
    const ScopedEnv ports("GLASSBENCH_PORTS", pty.SlavePath());
    const QString confirmation =
        QString::fromStdString("Port " + pty.SlavePath() + " opened at 9600 baud.");

    CPanelConsoleApp app;
    QString boxText;
    bool openAfterEscape = false;
    std::string dataAfterEscape;
    auto data = [&] { return static_cast<QLineEdit*>(Dialog(app)->Control(kIdcData)); };
    auto confirmationBox = [&] {
        return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    };
    QElapsedTimer settle;

    StepScript script({
        {"the confirmation box", [&] { return IsActive(confirmationBox()); },
         [&] {
             boxText = confirmationBox()->text();
             input.Key("Return");
         }},
        {"the window after the box",
         [&] {
             return confirmationBox() == nullptr && Dialog(app) != nullptr &&
                    IsActive(Dialog(app)) && data()->hasFocus();
         },
         [&] {
             // A typed digit proves the keys arrive; Escape must then leave all as it is.
             input.Key("End");
             input.Key("5");
             input.Key("Escape");
             settle.start();
         }},
        {"the keys to be handled", [&] { return data()->text() == "05" && settle.hasExpired(300); },
         [&] {
             openAfterEscape = Dialog(app)->isVisible();
             dataAfterEscape = data()->text().toStdString();
             QWidget* send = Dialog(app)->Control(kIdcSendData);
             const QPoint centre = send->mapToGlobal(send->rect().center());
             input.Click(centre.x(), centre.y());
         }},
        {"the frame on the wire and the reply in the window",
         [&] {
             return Hex(module.Wire()) == "AA 04 80 00 2E" &&
                    Dialog(app)->RecvLog() == "01 02 03 04 05 ";
         },
         [&] { Dialog(app)->close(); }},
    });

    // The application's start-up step: search, confirm, run modally until closed.
    EXPECT_FALSE(app.InitInstance());

    EXPECT_EQ(script.Stuck(), "");
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(boxText, confirmation);
    EXPECT_TRUE(openAfterEscape);
    EXPECT_EQ(dataAfterEscape, "05");
    EXPECT_EQ(Hex(module.Wire()), "AA 04 80 00 2E");
}

}  // namespace
}  // namespace glassbench::ui::testing
