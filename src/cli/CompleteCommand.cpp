// "__complete": the words bash completion offers (data/completion/glassbench-cli), taken from
// the tables the commands themselves use, so the completion never lists an option or a
// command text the tool does not know.
//
//   __complete commands                 the command names
//   __complete options COMMAND          its options, "--name=" for one that takes a value
//   __complete values COMMAND OPTION    the values an option takes, where its kind makes them
//                                       a list: command names (--command, and preset's
//                                       operand), speeds, the port devices that are present
//                                       and the selectors of the USB adapters present
#include <algorithm>
#include <ostream>

#include "cli/CommandList.h"
#include "protocol/CommandTable.h"
#include "serial/PortTables.h"
#include "serial/SerialLink.h"

namespace glassbench::cli {

namespace {

void ListCommands(std::ostream& out) {
    for (const protocol::CommandInfo& row : protocol::CommandTable) {
        out << row.listText << "\n";
    }
}

}  // namespace

int RunComplete(Args args, std::ostream& out, std::ostream&) {
    if (args.size() == 1 && args[0] == "commands") {
        for (const CommandSpec& command : kCommands) {
            out << command.name << "\n";
        }
        return kExitOk;
    }
    const CommandSpec* command = args.size() >= 2 ? FindCommandSpec(args[1]) : nullptr;
    if (command == nullptr) {
        return kExitUsage;
    }
    const std::vector<Option> options = OptionsOf(*command);
    if (args.size() == 2 && args[0] == "options") {
        for (const Option& option : options) {
            // One whose value may be left out is offered alone.
            const bool equals = option.TakesValue() && option.optionalValue.empty();
            out << "--" << option.name << (equals ? "=" : "") << "\n";
        }
        out << "--" << kHelpOption.name << "\n";
        return kExitOk;
    }
    if (args.size() != 3 || args[0] != "values") {
        return kExitUsage;
    }
    // The operand of preset is a command too.
    if (command->name == "preset" && args[2].empty()) {
        ListCommands(out);
        return kExitOk;
    }
    const auto option = std::find_if(options.begin(), options.end(), [&](const Option& o) {
        return "--" + std::string(o.name) == args[2];
    });
    const ValueKind kind = option != options.end() ? option->kind : ValueKind::Flag;
    if (kind == ValueKind::Command) {
        ListCommands(out);
    } else if (kind == ValueKind::Speed) {
        for (const serial::Speed& speed : serial::SpeedTable) {
            out << speed.text << "\n";
        }
    } else if (kind == ValueKind::Port) {
        // The positions that are there, then the selectors of the adapters present.
        const auto system = serial::CreatePlatformSerialSystem();
        for (const std::string& name : serial::PortNameTable()) {
            if (system->DeviceExists(name)) {
                out << name << "\n";
            }
        }
        const std::vector<serial::PresentPort> present = system->PresentPorts();
        for (const serial::PresentPort& port : present) {
            if (const std::string selector = serial::SelectorOf(port, present); !selector.empty()) {
                out << selector << "\n";
            }
        }
    }
    return kExitOk;
}

}  // namespace glassbench::cli
