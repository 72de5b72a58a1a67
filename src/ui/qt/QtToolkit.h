// The toolkit seam on Qt Widgets: QMessageBox, the application's override cursor, and a pause
// that keeps the window painted.
//
// The pause runs a local event loop that leaves user input queued until a monotonic deadline
// has passed: the window still repaints (an exposed window is never left blank for a second),
// but no click or key can start another action in the middle of a port reopen. The input that
// arrives meanwhile is handled afterwards, in order, as a blocked Windows message queue would.
#pragma once

#include "ui/Toolkit.h"

class QWidget;

namespace glassbench::ui::qt {

// The handle a window passes as a message box's owner, and the window it stands for.
inline WindowHandle OwnerHandle(QWidget* window) {
    return static_cast<void*>(window);
}
inline QWidget* OwnerWidget(WindowHandle owner) {
    return static_cast<QWidget*>(owner);
}

class QtToolkit final : public Toolkit {
  public:
    void ShowMessage(WindowHandle owner, std::string_view text, std::string_view caption,
                     MessageIcon icon) override;
    void BeginBusyCursor() override;
    void EndBusyCursor() override;
    void Pause(std::chrono::milliseconds duration) override;

    // Leaves every modal run at once, and shows no more boxes and waits no more pauses: the
    // program is on its way out (a stop signal came).
    void Quit();

  private:
    bool quitting_ = false;
};

}  // namespace glassbench::ui::qt
