// "preset": the eight values the window would load for a command from Scom.ini in the
// current directory, each as read or as its fallback.
#include <ostream>

#include "cli/Commands.h"
#include "presets/PresetFile.h"

namespace glassbench::cli {

int RunPreset(const OptionValues& values, std::ostream& out, std::ostream& err) {
    const std::string& name = values.operands.front();
    // Any integer is an index: outside 0..19 it reads ClearScreen, as the window does.
    int index = 0;
    if (const auto number = ParseInt(name)) {
        index = *number;
    } else if (const auto found = protocol::FindCommand(name)) {
        index = *found;
    } else {
        return UsageError(err, "'" + name + "' names no command");
    }
    const std::string_view section = presets::PresetSectionFor(index);
    const presets::CommandPreset preset = presets::ReadPreset(section);
    out << "[" << section << "]\n";
    for (const auto& key : presets::PresetKeys) {
        out << key.key << "=" << preset.*key.member << "\n";
    }
    return kExitOk;
}

}  // namespace glassbench::cli
