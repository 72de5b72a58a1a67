// glassbench: the operator window.
#include <iostream>

#include "ui/WindowOptions.h"
#include "ui/qt/PanelConsoleApp.h"

int main(int argc, char** argv) {
    if (const auto answered = glassbench::ui::AnswerWindowOptions(argc, argv, std::cout)) {
        return *answered;
    }
    glassbench::ui::qt::CPanelConsoleApp theApp;
    return theApp.Run(argc, argv);
}
