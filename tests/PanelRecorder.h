// Doubles for the operator dialog's two seams, with no toolkit at all: a toolkit that records
// message boxes, the busy cursor and pauses, and a window that keeps its controls' state in
// plain members. Both write into one log, with the serial fake's, so a test sees open
// attempts, modem-line changes, writes, pauses, the busy cursor and message boxes in the
// order they happened.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "serial/PortTables.h"
#include "ui/DialogTemplate.h"
#include "ui/PanelView.h"
#include "ui/Toolkit.h"

namespace glassbench::ui::testing {

using Log = std::vector<std::string>;

// What a successful open logs: the link raises both lines while it sets the port up, then the
// window drops them for a second under the busy cursor and confirms the port.
inline Log Opened(const std::string& device, const std::string& speed = "9600") {
    return {"open " + device,
            "modem 11",
            "busy on",
            "modem 00",
            "pause 1000",
            "modem 11",
            "message Orvane Glassbench/information/dialog: Port " + device + " opened at " + speed +
                " baud.",
            "busy off"};
}

// The texts of the five bound fields.
struct FieldTexts {
    std::string lengh, xaddress, yaddress, data, checksum;
    bool operator==(const FieldTexts&) const = default;
};

inline void PrintTo(const FieldTexts& f, std::ostream* out) {
    *out << "{lengh \"" << f.lengh << "\", x \"" << f.xaddress << "\", y \"" << f.yaddress
         << "\", data \"" << f.data << "\", checksum \"" << f.checksum << "\"}";
}

// Every call becomes a log line; nothing blocks.
class RecordingToolkit final : public Toolkit {
  public:
    explicit RecordingToolkit(Log& log) : log_(log) {}
    // Boxes owned by this window are logged as "dialog".
    void SetDialog(WindowHandle dialog) { dialog_ = dialog; }

    void ShowMessage(WindowHandle owner, std::string_view text, std::string_view caption,
                     MessageIcon icon) override {
        log_.push_back("message " + std::string(caption) +
                       (icon == MessageIcon::Information ? "/information" : "/exclamation") +
                       (owner == dialog_ ? "/dialog: " : "/other: ") + std::string(text));
    }
    void BeginBusyCursor() override { log_.push_back("busy on"); }
    void EndBusyCursor() override { log_.push_back("busy off"); }
    void Pause(std::chrono::milliseconds duration) override {
        log_.push_back("pause " + std::to_string(duration.count()));
    }

  private:
    Log& log_;
    WindowHandle dialog_ = nullptr;
};

// The operator dialog's controls as plain state, filled from the template as a window would.
class RecordingView final : public PanelView {
  public:
    RecordingView(Log& log, const serial::PortNames& ports) : log_(log) {
        for (const ControlTemplate& control : OperatorDialogTemplate().controls) {
            if (control.kind == ControlKind::DropDownList ||
                control.kind == ControlKind::DropDownEdit) {
                entries[control.id] = ListItems(control, ports);
                selection[control.id] = -1;
            }
        }
    }

    // What the operator types into the LCDs Type box.
    void Type(int id, const std::string& text) { typed[id] = text; }

    WindowHandle Owner() const override { return const_cast<RecordingView*>(this); }
    void RunModal(const std::function<void()>& initialise) override {
        initialise();
        log_.push_back("shown");
    }
    std::string FieldText(int id) const override { return Get(fields, id); }
    void SetFieldText(int id, std::string_view text) override { fields[id] = text; }
    int Selection(int id) const override {
        const auto text = typed.find(id);
        if (text == typed.end()) {
            return selection.at(id);
        }
        // A typed text selects the entry it names, regardless of case.
        const auto lower = [](std::string s) {
            std::transform(s.begin(), s.end(), s.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            return s;
        };
        const auto& items = entries.at(id);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (lower(items[i]) == lower(text->second)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    void Select(int id, int index) override {
        selection.at(id) = index;
        typed.erase(id);
    }
    int EntryCount(int id) const override { return static_cast<int>(entries.at(id).size()); }
    bool IsChecked(int id) const override { return checked.count(id) != 0 && checked.at(id); }
    void SetChecked(int id, bool on) override { checked[id] = on; }
    void AppendTranscript(int id, std::string_view text) override { transcripts[id] += text; }
    void ClearTranscript(int id) override { transcripts[id].clear(); }
    void Focus(int id) override { focus = id; }
    void SetIconsAndFonts() override { log_.push_back("icons and fonts"); }
    bool HasSystemMenu() const override { return true; }
    void AppendSystemMenuSeparator() override { systemMenu.push_back("-"); }
    void AppendSystemMenuItem(unsigned commandId, std::string_view text) override {
        systemMenu.push_back(std::to_string(commandId) + " " + std::string(text));
    }
    void DefaultSystemCommand(std::uint16_t commandId) override {
        log_.push_back("default command " + std::to_string(commandId));
    }
    void ShowAboutBox() override { log_.push_back("about box"); }

    std::string Transcript(int id) const { return Get(transcripts, id); }
    FieldTexts Fields() const {
        return {Get(fields, kIdcLengh), Get(fields, kIdcXaddress), Get(fields, kIdcYaddress),
                Get(fields, kIdcData), Get(fields, kIdcCheckSum)};
    }

    std::map<int, std::string> fields, typed, transcripts;
    std::map<int, std::vector<std::string>> entries;
    std::map<int, int> selection;
    std::map<int, bool> checked;
    std::vector<std::string> systemMenu;
    int focus = kNoId;

  private:
    static std::string Get(const std::map<int, std::string>& map, int id) {
        const auto it = map.find(id);
        return it == map.end() ? std::string() : it->second;
    }

    Log& log_;
};

}  // namespace glassbench::ui::testing
