// The application object: it brings up the toolkit, the serial link and the operator dialog,
// runs the dialog modally and ends the program when the dialog closes.
//
// The program has no message loop of its own. Everything happens inside the dialog's modal
// run; when the operator closes the window, or a stop signal comes, the start-up step returns
// and the process ends, which also releases the serial port.
#pragma once

#include <string>
#include <vector>

namespace glassbench::ui::qt {

class CPanelConsoleApp {
  public:
    // Creates the toolkit's application for the command line and runs the start-up step.
    // Returns the process exit code.
    int Run(int& argc, char** argv);

    // The start-up step: construct the dialog and run it modally until the operator closes it
    // or a stop request comes. Returns the exit code: 0, or
    // 128 and the signal after a stop request (StopRequest::ExitCode).
    int InitInstance();

  private:
    // The port names on the command line, left there by the toolkit's own options.
    std::vector<std::string> ports_;
};

}  // namespace glassbench::ui::qt
