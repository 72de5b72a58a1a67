// glassbench: the operator window.
#include "ui/qt/PanelConsoleApp.h"

int main(int argc, char** argv) {
    glassbench::ui::CPanelConsoleApp theApp;
    return theApp.Run(argc, argv);
}
