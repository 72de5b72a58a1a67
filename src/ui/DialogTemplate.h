// The two dialogs as data: every control with its id, kind, text, place, style and list
// contents, in template order, plus the string table.
//
// Places are dialog units, the Windows resource convention the module's tools have always
// used: one horizontal unit is a quarter of the dialog font's average character width and one
// vertical unit an eighth of its height. The builder (DialogBuilder.h) turns a template into
// widgets with these functions, so the same table lays the dialog out for whatever font the
// desktop gives. Template order is also creation order, tab order and the order in which the
// first tab stop is looked for. This header holds no toolkit types, so the tables and the unit
// arithmetic are tested without a display.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "serial/PortTables.h"

namespace glassbench::ui {

enum class ControlKind {
    Label,
    CheckBox,
    DropDownList,  // a list the operator can only choose from
    DropDownEdit,  // a list with an edit field the operator can also type into
    Edit,
    Icon,
    GroupFrame,
    PushButton,
    DefaultPushButton,
};

// The window styles the builder honours, as bits.
enum ControlStyle : unsigned {
    kStyleNone = 0,
    kHidden = 1u << 0,
    kDisabled = 1u << 1,
    kTabStop = 1u << 2,
    kBorder = 1u << 3,
    kVScroll = 1u << 4,
    kAutoHScroll = 1u << 5,
    kMultiLine = 1u << 6,
    kReadOnly = 1u << 7,
    kAutoCheck = 1u << 8,
};

// Where a list's entries come from: the template itself, or one of the program's tables
// (the list and the table must never disagree about what a position means).
enum class ListSource { None, Fixed, PortTable, SpeedTable, CommandTable };

// Control ids the program addresses. Labels, frames and the icon have none.
enum ControlId : int {
    kNoId = -1,
    kIdOk = 1,
    kIdcSpeed = 1000,
    kIdcPort = 1001,
    kIdcDtr = 1002,
    kIdcRts = 1003,
    kIdcCommand = 1004,
    kIdcTransparent = 1005,
    kIdcData = 1009,
    kIdcSendLog = 1010,
    kIdcRecvLog = 1029,
    kIdcLengh = 1030,
    kIdcXaddress = 1031,
    kIdcYaddress = 1032,
    kIdcFontSize = 1033,
    kIdcCheckSum = 1034,
    kIdcSendData = 1035,
    kIdcClearDisplay = 1036,
    kIdcLcdType = 1042,
};

inline constexpr int kIdsAboutBox = 101;
// The About item's system command. Its low four bits are zero and it lies below the system's
// own commands (0xF000 and up), as system-menu ids must.
inline constexpr unsigned kIdmAboutBox = 0x0010;
inline constexpr int kIdrMainFrame = 128;

struct DialogRect {
    int x;
    int y;
    int cx;
    int cy;
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    std::string_view text;  // UTF-8
    DialogRect place;       // a list's height includes its dropped-down part
    unsigned style;
    ListSource source = ListSource::None;
    std::span<const std::string_view> items = {};
};

struct DialogTemplate {
    int id;
    std::string_view caption;
    int cx;  // client area in dialog units
    int cy;
    std::span<const ControlTemplate> controls;
    // The font the places were measured for. A window that can use it (Win32) builds the
    // dialog in it; one that cannot (Qt) measures dialog units with its own.
    std::string_view fontFace;
    int fontPointSize;
};

// Template 102, the operator dialog, and template 100, the About box.
const DialogTemplate& OperatorDialogTemplate();
const DialogTemplate& AboutDialogTemplate();

// The control with `id` in `dialog`, or nullptr.
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);

// The id of the first visible, enabled tab stop in template order: where the focus starts.
int FirstTabStop(const DialogTemplate& dialog);

// A list's entries in order, from the template or from the table it names.
std::vector<std::string> ListItems(const ControlTemplate& control, const serial::PortNames& ports);

// The Speed list's entry for a row of the speed table: "9600 Baud".
std::string SpeedListText(const serial::Speed& speed);

// The Port list's entry for a device: "COM 12" for Windows' COM12 and \\.\COM12, as
// Windows users know their ports; any other device (a Linux path, a virtual port named in
// GLASSBENCH_PORTS) by its name, since that is what the operator has to recognise.
std::string PortListText(std::string_view deviceName);

// The string table entry, or "" when there is none.
std::string_view LoadResourceString(int id);

// Pixels per dialog unit for a font whose "A".."Z""a".."z" run advances `alphabetAdvance`
// pixels and whose height is `fontHeight` pixels.
struct DialogUnitScale {
    double x;
    double y;
};
DialogUnitScale ScaleForFont(double alphabetAdvance, double fontHeight);

struct PixelRect {
    int left;
    int top;
    int width;
    int height;
};

// Converts a rectangle edge by edge, so that two controls that touch in dialog units still
// touch in pixels whatever the rounding.
PixelRect MapDialogRect(const DialogRect& rect, const DialogUnitScale& scale);

inline constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace glassbench::ui
