// The window's one seam to the toolkit's blocking effects: modal message boxes, the busy
// cursor and the pause after a port opens.
//
// The operator dialog calls nothing else that blocks or needs an operator, so a test that
// installs a recorder here drives the real dialog without pressing OK and without waiting a
// real second. The seam is also the serial link's message sink, so the boxes the link raises
// itself (DTR and RTS failures) come out of the same door, in the same order as the window's.
//
// A message box's owner travels as the link's opaque WindowHandle: the dialog passes its
// window (PanelView::Owner), the port search passes none, and the toolkit turns it back into
// the parent window of the box.
#pragma once

#include <chrono>
#include <string_view>

#include "serial/SerialLink.h"

namespace glassbench::ui {

using serial::MessageIcon;
using serial::WindowHandle;

class Toolkit : public serial::MessageSink {
  public:
    // ShowMessage (from MessageSink): modal, a single OK button, returns once dismissed.

    // The busy cursor is shown from Begin to the matching End; calls may nest.
    virtual void BeginBusyCursor() = 0;
    virtual void EndBusyCursor() = 0;
    // Blocks the operator's input for `duration`; the window keeps painting.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

// Shows the busy cursor for the lifetime of the object, however the scope is left.
class BusyCursor {
  public:
    explicit BusyCursor(Toolkit& toolkit) : toolkit_(toolkit) { toolkit_.BeginBusyCursor(); }
    ~BusyCursor() { toolkit_.EndBusyCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    Toolkit& toolkit_;
};

}  // namespace glassbench::ui
