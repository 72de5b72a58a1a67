#include "ui/qt/PanelConsoleApp.h"

#include <QApplication>

#include "serial/PortTables.h"
#include "serial/SerialLink.h"
#include "ui/qt/AppIcon.h"
#include "ui/qt/PanelWindow.h"
#include "ui/qt/QtToolkit.h"

namespace glassbench::ui {

int CPanelConsoleApp::Run(int& argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glassbench"));
    QApplication::setApplicationVersion(QStringLiteral(GLASSBENCH_VERSION));
    QApplication::setWindowIcon(LoadAppIcon());
    InitInstance();
    return 0;
}

void CPanelConsoleApp::InitInstance() {
    QtToolkit toolkit;
    serial::SerialLink link(serial::CreatePlatformSerialSystem(), serial::PortNameTable(),
                            &toolkit);
    CPanelWindow window(link, toolkit);
    window.Logic().DoModal();
}

}  // namespace glassbench::ui
