// What the window needs to be sharp on a high-DPI screen beyond what the dialog manager does.
//
// The manifest makes the program per-monitor DPI aware (v2), or system aware where Windows
// knows no per-monitor awareness. The dialog manager then builds each dialog in its font made
// for the screen's DPI, so dialog units, and with them every place and size of the template,
// scale; and when the window moves to a screen with another DPI (WM_DPICHANGED) it scales the
// window and its controls and gives each control the dialog's font made anew. What the
// program adds itself follows the DPI here: the icons, loaded at the sizes of that DPI, and
// the fixed-pitch font of the Data Send transcript. The stock fixed-pitch font is a bitmap
// font of one pixel size; at any DPI but 96 its description is made at the scaled size, from
// an outline font, which scales cleanly where a bitmap would be stretched.
#pragma once

#include <windows.h>

#include "ui/win32/Win32Handles.h"

namespace glassbench::ui::win32 {

// The DPI `window` is laid out for.
UINT WindowDpi(HWND window);

// A system metric (SM_CXICON, ...) at `dpi`.
int MetricForDpi(int metric, UINT dpi);

// The application icon (resource 128) at the size of `sizeMetric` (SM_CXICON, SM_CXSMICON).
UniqueIcon LoadAppIcon(int sizeMetric, UINT dpi);

// The fixed-pitch font for `dpi`: the stock one at 96 DPI, else one made in `owned`.
HFONT FixedPitchFont(UINT dpi, UniqueFont& owned);

}  // namespace glassbench::ui::win32
