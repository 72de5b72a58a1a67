#include "ui/DialogTemplate.h"

#include <array>
#include <cmath>

#include "protocol/CommandTable.h"

namespace glassbench::ui {

namespace {

using K = ControlKind;

constexpr std::array<std::string_view, 2> kTransparentItems{"Yes", "No"};
constexpr std::array<std::string_view, 6> kFontSizeItems{
    "8x16", "12x24", "16x32", "16x16", "24x24", "32x32",
};
constexpr std::array<std::string_view, 4> kLcdTypeItems{
    "Uart LCDs",
    "SPI LCDs",
    "I2C LCDs",
    "USB LCDs",
};

constexpr unsigned kEditStyle = kBorder | kTabStop | kAutoHScroll;
constexpr unsigned kTranscriptStyle = kMultiLine | kReadOnly | kBorder | kVScroll;

// Template 102. The lines at the bottom name the maker and, where a web address would stand,
// the program's own name and version.
const ControlTemplate kOperatorControls[] = {
    {kNoId, K::Label, "Data", {54, 72, 41, 8}, kStyleNone},
    {kNoId, K::Label, "Data Send:", {14, 128, 46, 8}, kStyleNone},
    {kNoId, K::Label, "Glassbench, made by Orvane", {8, 258, 166, 8}, kStyleNone},
    {kNoId, K::Label, "Glassbench " GLASSBENCH_VERSION, {206, 258, 100, 8}, kStyleNone},
    {kIdcDtr, K::CheckBox, "DTR", {291, 17, 8, 10}, kHidden | kDisabled | kAutoCheck},
    {kIdcRts, K::CheckBox, "RTS", {291, 7, 8, 10}, kHidden | kDisabled | kAutoCheck},
    {kIdcSpeed, K::DropDownList, "", {83, 14, 57, 139}, kVScroll, ListSource::SpeedTable},
    {kIdcPort, K::DropDownList, "", {38, 14, 39, 152}, kVScroll, ListSource::PortTable},
    {kIdcData, K::Edit, "", {9, 83, 129, 13}, kEditStyle},
    {kIdcSendLog, K::Edit, "", {14, 141, 284, 47}, kTranscriptStyle},
    {kNoId, K::Icon, "", {7, 7, 20, 20}, kStyleNone},
    {kNoId, K::Label, "Port:", {38, 1, 16, 8}, kStyleNone},
    {kNoId, K::Label, "Speed:", {94, 1, 24, 8}, kStyleNone},
    {kIdcCommand, K::DropDownList, "", {37, 48, 103, 219}, kStyleNone, ListSource::CommandTable},
    {kNoId, K::Label, "Command:", {63, 37, 33, 8}, kStyleNone},
    {kNoId,
     K::Label,
     "0xAA+lengh+CMD+Xaddress+Yaddress+Transparent+FontType+Data+CheckSum",
     {14, 103, 285, 8},
     kStyleNone},
    {kNoId, K::Label, "Yaddress", {181, 37, 34, 8}, kStyleNone},
    {kNoId, K::Label, "Xaddress", {145, 37, 33, 8}, kStyleNone},
    {kIdcTransparent,
     K::DropDownList,
     "",
     {223, 49, 31, 69},
     kStyleNone,
     ListSource::Fixed,
     kTransparentItems},
    {kNoId, K::Label, "Lengh", {11, 37, 26, 8}, kStyleNone},
    {kIdcRecvLog, K::Edit, "", {14, 201, 283, 52}, kTranscriptStyle | kTabStop},
    {kNoId, K::Label, "Data Rec:", {14, 192, 37, 9}, kStyleNone},
    {kIdcLengh, K::Edit, "", {9, 48, 26, 14}, kEditStyle | kReadOnly},
    {kIdcXaddress, K::Edit, "", {147, 49, 29, 12}, kEditStyle},
    {kIdcYaddress, K::Edit, "", {183, 49, 30, 12}, kEditStyle},
    {kIdcFontSize,
     K::DropDownList,
     "",
     {261, 49, 39, 71},
     kVScroll,
     ListSource::Fixed,
     kFontSizeItems},
    {kNoId, K::Label, "Transparent", {217, 37, 43, 10}, kStyleNone},
    {kNoId, K::Label, "FontSize", {267, 37, 33, 10}, kStyleNone},
    {kIdcCheckSum, K::Edit, "", {148, 83, 29, 14}, kEditStyle | kReadOnly},
    {kNoId, K::Label, "CheckSum", {147, 72, 35, 8}, kStyleNone},
    {kIdcSendData, K::PushButton, "Send data", {196, 78, 42, 20}, kTabStop},
    {kNoId, K::GroupFrame, "", {7, 29, 297, 89}, kStyleNone},
    {kNoId, K::GroupFrame, "", {7, 117, 297, 140}, kStyleNone},
    {kIdcClearDisplay, K::PushButton, "Clear Display", {197, 125, 58, 13}, kTabStop},
    {kNoId, K::Label, "串口设置", {143, 16, 35, 13}, kStyleNone},
    {kNoId, K::Label, "发送数据", {244, 85, 45, 17}, kStyleNone},
    {kNoId, K::Label, "清除显示", {264, 128, 35, 11}, kStyleNone},
    {kNoId, K::Label, "数据发送", {61, 128, 41, 12}, kStyleNone},
    {kNoId, K::Label, "数据接收", {62, 191, 39, 10}, kStyleNone},
    {kNoId, K::GroupFrame, "", {32, 5, 152, 28}, kStyleNone},
    {kIdcLcdType,
     K::DropDownEdit,
     "",
     {190, 14, 64, 64},
     kStyleNone,
     ListSource::Fixed,
     kLcdTypeItems},
    {kNoId, K::Label, "LCDs Type", {255, 16, 43, 13}, kStyleNone},
    {kNoId, K::GroupFrame, "", {184, 5, 120, 28}, kStyleNone},
};

const ControlTemplate kAboutControls[] = {
    {kNoId, K::Icon, "", {11, 17, 20, 20}, kStyleNone},
    {kIdOk, K::DefaultPushButton, "OK", {178, 7, 32, 14}, kTabStop},
    {kNoId, K::Label, "Glassbench Version " GLASSBENCH_SHORT_VERSION, {43, 7, 80, 8}, kStyleNone},
    {kNoId, K::Label, "Made by Orvane", {43, 39, 158, 8}, kStyleNone},
    {kNoId, K::Label, "Glassbench " GLASSBENCH_VERSION, {43, 23, 119, 8}, kStyleNone},
};

// Both dialogs are laid out in 8-point MS Sans Serif.
constexpr std::string_view kFont = "MS Sans Serif";
const DialogTemplate kOperatorDialog{102, "Glassbench +", 316, 269, kOperatorControls, kFont, 8};
const DialogTemplate kAboutDialog{100, "About Glassbench", 217, 55, kAboutControls, kFont, 8};

struct StringResource {
    int id;
    std::string_view text;
};
constexpr std::array<StringResource, 1> kStringTable{{
    {kIdsAboutBox, "&About Glassbench..."},
}};

}  // namespace

const DialogTemplate& OperatorDialogTemplate() {
    return kOperatorDialog;
}

const DialogTemplate& AboutDialogTemplate() {
    return kAboutDialog;
}

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
    if (id == kNoId) {
        return nullptr;
    }
    for (const ControlTemplate& control : dialog.controls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

int FirstTabStop(const DialogTemplate& dialog) {
    for (const ControlTemplate& control : dialog.controls) {
        if ((control.style & kTabStop) && !(control.style & (kHidden | kDisabled))) {
            return control.id;
        }
    }
    return kNoId;
}

std::vector<std::string> ListItems(const ControlTemplate& control, const serial::PortNames& ports) {
    std::vector<std::string> items;
    switch (control.source) {
        case ListSource::Fixed:
            items.assign(control.items.begin(), control.items.end());
            break;
        case ListSource::PortTable:
            for (const std::string& port : ports) {
                items.push_back(PortListText(port));
            }
            break;
        case ListSource::SpeedTable:
            for (const serial::Speed& speed : serial::SpeedTable) {
                items.push_back(SpeedListText(speed));
            }
            break;
        case ListSource::CommandTable:
            for (const protocol::CommandInfo& command : protocol::CommandTable) {
                items.emplace_back(command.listText);
            }
            break;
        case ListSource::None:
            break;
    }
    return items;
}

std::string PortListText(std::string_view deviceName) {
    std::string_view name = deviceName;
    if (name.substr(0, 4) == "\\\\.\\") {
        name.remove_prefix(4);
    }
    const bool com = name.size() > 3 && name.size() <= 5 && name.substr(0, 3) == "COM" &&
                     name.find_first_not_of("0123456789", 3) == std::string_view::npos &&
                     name[3] != '0';
    return com ? "COM " + std::string(name.substr(3)) : std::string(deviceName);
}

std::string SpeedListText(const serial::Speed& speed) {
    std::string text(speed.text);
    text += " Baud";
    return text;
}

std::string_view LoadResourceString(int id) {
    for (const StringResource& entry : kStringTable) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return {};
}

DialogUnitScale ScaleForFont(double alphabetAdvance, double fontHeight) {
    const double averageCharWidth = alphabetAdvance / static_cast<double>(kAlphabet.size());
    return {averageCharWidth / 4.0, fontHeight / 8.0};
}

PixelRect MapDialogRect(const DialogRect& rect, const DialogUnitScale& scale) {
    auto px = [](int units, double perUnit) {
        return static_cast<int>(std::lround(units * perUnit));
    };
    const int left = px(rect.x, scale.x);
    const int top = px(rect.y, scale.y);
    const int right = px(rect.x + rect.cx, scale.x);
    const int bottom = px(rect.y + rect.cy, scale.y);
    return {left, top, right - left, bottom - top};
}

}  // namespace glassbench::ui
