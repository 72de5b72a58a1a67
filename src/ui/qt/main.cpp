// glassbench: the operator window.
#include <QStandardPaths>
#include <iostream>

#include "ui/WindowOptions.h"
#include "ui/qt/PanelConsoleApp.h"

int main(int argc, char** argv) {
    const auto options = glassbench::ui::ReadWindowOptions(argc, argv, std::cout);
    if (options.exitCode) {
        return *options.exitCode;
    }
    // Where that fails, the window stays in the folder it was started in.
    if (options.inDocuments) {
        glassbench::ui::EnterPresetsFolder(
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdU16String());
    }
    glassbench::ui::qt::CPanelConsoleApp theApp;
    return theApp.Run(argc, argv);
}
