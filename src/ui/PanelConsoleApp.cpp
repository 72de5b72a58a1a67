#include "ui/PanelConsoleApp.h"

#include <QApplication>

#include "serial/PortTables.h"
#include "serial/SerialLink.h"
#include "ui/AppIcon.h"
#include "ui/PanelConsoleDlg.h"
#include "ui/QtToolkit.h"

namespace glassbench::ui {

int CPanelConsoleApp::Run(int& argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glassbench"));
    QApplication::setApplicationVersion(QStringLiteral(GLASSBENCH_VERSION));
    QApplication::setWindowIcon(LoadAppIcon());
    InitInstance();
    return 0;
}

bool CPanelConsoleApp::InitInstance() {
    QtToolkit toolkit;
    serial::SerialLink link(serial::CreatePlatformSerialSystem(), serial::PortNameTable(),
                            &toolkit);
    CPanelConsoleDlg dialog(link, toolkit);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return false;
}

}  // namespace glassbench::ui
