// Builds a dialog from its template (DialogTemplate.h) the way the dialog manager wants it:
// an in-memory DLGTEMPLATEEX for DialogBoxIndirectParamW, then, once the controls exist, what
// a dialog template cannot carry.
//
// The memory is a run of WORDs: the header with the dialog's style, caption and font (the
// template's own, through DS_SETFONT), then one DLGITEMTEMPLATEEX a control in template order,
// each on a DWORD boundary. Each kind becomes a system class named by its atom: labels and the
// icon STATIC (the icon control names icon resource 128), check boxes, group frames and
// buttons BUTTON, edits EDIT, lists COMBOBOX. Captions go from the template's UTF-8 to UTF-16.
// Template order is creation order, so it is also the tab order and the order of the
// dialog's children.
//
// After creation (WM_INITDIALOG) CompleteControls fills the lists from ListItems and lets a
// control grow where its text would be cut (FitControls, again after a change of DPI): the
// places were measured for MS Sans Serif, and a desktop that substitutes a wider font, a
// caption drawn from a fallback font (the Chinese ones) or a font size rounded at a high DPI
// must still show every caption and entry whole. The Port list is the exception: its
// device paths can be longer than the box, so it is drawn by the dialog (owner-drawn) and
// elides an entry at its start, where paths share their prefix.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "serial/PortTables.h"
#include "ui/DialogTemplate.h"

namespace glassbench::ui::win32 {

// The template's texts are UTF-8.
std::wstring Utf16(std::string_view utf8);
// The logic's field and transcript texts are Latin-1, one byte a character, as the Qt
// window's are, whatever the system's code page: '?' stands for a UTF-16 unit Latin-1 lacks.
std::string Latin1(std::wstring_view text);
std::wstring FromLatin1(std::string_view latin1);

class DialogTemplateMemory {
  public:
    // `style`: the dialog's window style; DS_SETFONT is added.
    DialogTemplateMemory(const DialogTemplate& dialog, DWORD style);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    // Starts DWORD-aligned: operator new aligns to at least 8 bytes.
    std::vector<WORD> words_;
};

// Fills the lists (the Port list with `ports`), then FitControls.
void CompleteControls(HWND dialog, const DialogTemplate& dialogTemplate,
                      const serial::PortNames& ports);
// Widens what would cut its text in the dialog's font.
void FitControls(HWND dialog, const DialogTemplate& dialogTemplate);
// Puts `icon` in the template's icon control, at the icon's size.
void ShowIcon(HWND dialog, const DialogTemplate& dialogTemplate, HICON icon);

// A window's text, a list's entry, and the size of a line of text in a device context's font.
std::wstring WindowText(HWND window);
std::wstring ListEntry(HWND list, int index);
SIZE TextExtent(HDC dc, std::wstring_view text);

// The owner-drawn Port list's item height (WM_MEASUREITEM, before WM_INITDIALOG) and entries.
void MeasureListEntry(HWND dialog, MEASUREITEMSTRUCT& item);
void DrawListEntry(const DRAWITEMSTRUCT& item);

}  // namespace glassbench::ui::win32
