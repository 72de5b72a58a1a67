// The usage, laid out from the command table for both readers of it: a person at a terminal,
// and help2man, which makes the man page of it. help2man turns a line indented by two with a
// text at column 25 (or on the next line, indented as far) into a list item, the item's
// continuation lines indented as far, and a line ending in a colon into a subsection. So every
// command and every option is one item, and no line is wrapped where help2man would cut it
// from its item: synopses stay on one line, and descriptions wrap at column 79 under column 25.
#include <algorithm>
#include <ostream>
#include <vector>

#include "cli/CommandLine.h"

namespace glassbench::cli {

namespace {

constexpr std::size_t kItemIndent = 2;
constexpr std::size_t kTextColumn = 24;
constexpr std::size_t kWidth = 79;

// One item: its tag, then its text wrapped at kWidth under kTextColumn.
void AddItem(std::string& usage, const std::string& tag, std::string_view text) {
    std::string line = std::string(kItemIndent, ' ') + tag;
    if (line.size() + 2 > kTextColumn) {
        usage += line + "\n";
        line.clear();
    }
    line.resize(kTextColumn, ' ');
    std::size_t lineStart = line.size();
    while (!text.empty()) {
        const std::size_t end = text.find(' ');
        const std::string_view word = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.size() > lineStart && line.size() + 1 + word.size() > kWidth) {
            usage += line + "\n";
            line.assign(kTextColumn, ' ');
            lineStart = line.size();
        }
        line += (line.size() > lineStart ? " " : "") + std::string(word);
    }
    usage += line + "\n";
}

// "[PORT OPTIONS]" for "Port options (send, play)".
std::string GroupTag(const OptionGroup& group) {
    std::string tag(group.title.substr(0, group.title.find(" (")));
    for (char& c : tag) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return "[" + tag + "]";
}

std::string CommandSynopsis(const CommandSpec& command) {
    std::string synopsis(command.name);
    if (!command.operands.empty()) {
        synopsis += " " + std::string(command.operands);
    }
    for (const Option& option : OptionsOf(command)) {
        if (option.required) {
            synopsis += " " + OptionSynopsis(option);
        }
    }
    for (const OptionGroup* group : command.groups) {
        synopsis += " " + GroupTag(*group);
    }
    return synopsis;
}

std::string BuildUsage() {
    std::string usage = "Usage: glassbench-cli COMMAND [OPTIONS]\n\nCommands:\n";
    std::vector<const OptionGroup*> groups;
    for (const CommandSpec& command : kCommands) {
        AddItem(usage, CommandSynopsis(command), command.summary);
        groups.insert(groups.end(), command.groups.begin(), command.groups.end());
    }
    groups.insert(groups.end(), kScriptLine.groups.begin(), kScriptLine.groups.end());
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (std::find(groups.begin(), groups.begin() + i, groups[i]) != groups.begin() + i) {
            continue;
        }
        usage += "\n" + std::string(groups[i]->title) + ":\n";
        for (const Option& option : groups[i]->options) {
            std::string help(option.help);
            if (option.kind == ValueKind::Range) {
                help += " (" + RangeText(option) + ")";
            }
            AddItem(usage, OptionSynopsis(option), help);
        }
    }
    usage += "\nOptions:\n";
    AddItem(usage, OptionSynopsis(kHelpOption), kHelpOption.help);
    AddItem(usage, "--version", "show the version");
    return usage;
}

}  // namespace

const std::string& UsageText() {
    static const std::string usage = BuildUsage();
    return usage;
}

int UsageError(std::ostream& err, const std::string& reason) {
    err << "glassbench-cli: " << reason << "\n" << UsageText();
    return kExitUsage;
}

}  // namespace glassbench::cli
