// The Windows application object: it brings up the common controls, the toolkit, the serial
// link and the operator dialog, runs the dialog modally and ends the program when the dialog
// closes.
//
// The program has no message loop of its own: everything happens inside the dialog's modal
// run. A stop request (Ctrl+C or Ctrl+Break in a console the program is attached to, or that
// console closing) ends the run as the close box does, so that the link gives the port back
// on the ordinary way out. A GUI program is started without a console, though, and Wine 8 runs
// no console handler of one on SIGINT; WM_CLOSE (the close box, Alt+F4, taskkill without /F)
// is the ordinary way out there, and takes the same road.
#pragma once

#include <string>
#include <vector>

namespace glassbench::ui::win32 {

class CPanelConsoleApp {
  public:
    // Takes the port names of the command line and runs the start-up step; returns the process
    // exit code.
    int Run(int argc, char** argv);

    // The start-up step: construct the dialog and run it modally until the operator closes it
    // or a stop request comes. Returns the exit code: 0, or
    // 128 and the signal after a stop request (StopRequest::ExitCode).
    int InitInstance();

  private:
    std::vector<std::string> ports_;
};

}  // namespace glassbench::ui::win32
