// What the operator dialog's logic (CPanelConsoleDlg) needs of a window, and nothing more.
//
// The logic holds the state and the handlers; a window built from the dialog template (Qt
// Widgets on Linux, plain Win32 on Windows) implements this interface and calls the handlers
// when the operator acts. Controls are named by their template ids. Texts are single-byte, as
// the fields and transcripts have always been: a window converts its own text to Latin-1, with
// '?' for a character it cannot hold. Nothing here raises an event back into the logic: text
// set by the program, selections made by the program and transcript appends are silent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ui/Toolkit.h"

namespace glassbench::ui {

class PanelView {
  public:
    virtual ~PanelView() = default;

    // The window a message box of the dialog belongs to.
    virtual WindowHandle Owner() const = 0;
    // Creates the window if need be, calls `initialise` once before it is first shown, and
    // returns when the operator has closed it.
    virtual void RunModal(const std::function<void()>& initialise) = 0;

    // The text of an edit field.
    virtual std::string FieldText(int id) const = 0;
    virtual void SetFieldText(int id, std::string_view text) = 0;

    // A list's selection, -1 for none. For a list the operator can also type into, the entry
    // that the typed text names (regardless of case): what the box shows is what is used.
    virtual int Selection(int id) const = 0;
    // -1 clears the selection.
    virtual void Select(int id, int index) = 0;
    virtual int EntryCount(int id) const = 0;

    virtual bool IsChecked(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;

    // Adds text at the end of a transcript and shows it at once: a wait may follow.
    virtual void AppendTranscript(int id, std::string_view text) = 0;
    virtual void ClearTranscript(int id) = 0;

    virtual void Focus(int id) = 0;
    // The window's icons, big and small, and the fixed-pitch font of the Data Send transcript.
    virtual void SetIconsAndFonts() = 0;

    // The window's system menu, or what stands in for it where the desktop has none to add to.
    virtual bool HasSystemMenu() const = 0;
    virtual void AppendSystemMenuSeparator() = 0;
    virtual void AppendSystemMenuItem(unsigned commandId, std::string_view text) = 0;
    // Hands a system command the dialog does not handle to the platform's default processing.
    virtual void DefaultSystemCommand(std::uint16_t commandId) = 0;
    // Runs the About box modally over the window.
    virtual void ShowAboutBox() = 0;
};

}  // namespace glassbench::ui
