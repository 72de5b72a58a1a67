#include "ui/qt/PanelConsoleApp.h"

#include <QApplication>
#include <QSocketNotifier>

#include "serial/PortTables.h"
#include "serial/SerialLink.h"
#include "serial/StopRequest.h"
#include "ui/WindowOptions.h"
#include "ui/qt/AppIcon.h"
#include "ui/qt/QtPanelWindow.h"
#include "ui/qt/QtToolkit.h"

namespace glassbench::ui::qt {

int CPanelConsoleApp::Run(int& argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glassbench"));
    QApplication::setApplicationVersion(QStringLiteral(GLASSBENCH_VERSION));
    QApplication::setWindowIcon(LoadAppIcon());
    ports_ = WindowPortNames(argc, argv);
    return InitInstance();
}

int CPanelConsoleApp::InitInstance() {
    QtToolkit toolkit;
    // A stop signal (kill, Ctrl+C in the terminal, a closed session) ends the program the
    // ordinary way, so that the link below gives the port back: the handler only wakes this
    // notifier, and the event loop does the rest.
    const serial::StopRequest stop;
    QSocketNotifier stopNotifier(stop.PollFd(), QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&toolkit] { toolkit.Quit(); });
    serial::SerialLink link(serial::CreatePlatformSerialSystem(), serial::PortNameTable(ports_),
                            &toolkit);
    QtPanelWindow window(link, toolkit);
    window.Logic().DoModal();
    return stop.ExitCode();
}

}  // namespace glassbench::ui::qt
