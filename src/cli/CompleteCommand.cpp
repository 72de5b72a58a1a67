// "__complete": the words bash completion offers (data/completion/glassbench-cli), taken from
// the tables the commands themselves use, so the completion never lists an option or a
// command text the tool does not know.
//
//   __complete commands                 the command names
//   __complete options COMMAND          its options, "--name=" for one that takes a value
//   __complete values COMMAND OPTION    the values an option takes, where they form a list:
//                                       --command's list texts, --speed's speeds, --port's
//                                       devices that are present
#include <ostream>

#include "cli/CommandList.h"
#include "protocol/CommandTable.h"
#include "serial/PortTables.h"
#include "serial/SerialLink.h"

namespace glassbench::cli {

int RunComplete(Args args, std::ostream& out, std::ostream&) {
    if (args.size() == 1 && args[0] == "commands") {
        for (const CliCommand& command : kCliCommands) {
            out << command.name << "\n";
        }
        return kExitOk;
    }
    const CliCommand* command = args.size() >= 2 ? FindCliCommand(args[1]) : nullptr;
    if (command == nullptr) {
        return kExitUsage;
    }
    if (args.size() == 2 && args[0] == "options") {
        for (const OptionSpec& option : command->options) {
            out << "--" << option.name << (option.takesValue ? "=" : "") << "\n";
        }
        out << "--help\n";
        return kExitOk;
    }
    if (args.size() != 3 || args[0] != "values") {
        return kExitUsage;
    }
    const std::string& option = args[2];
    if (option == "--command" || (command->name == "preset" && option.empty())) {
        for (const protocol::CommandInfo& row : protocol::CommandTable) {
            out << row.listText << "\n";
        }
    } else if (option == "--speed") {
        for (const serial::Speed& speed : serial::SpeedTable) {
            out << speed.text << "\n";
        }
    } else if (option == "--port" || option == "--replies") {
        const auto system = serial::CreatePlatformSerialSystem();
        for (const std::string& name : serial::PortNameTable()) {
            if (system->DeviceExists(name)) {
                out << name << "\n";
            }
        }
    }
    return kExitOk;
}

}  // namespace glassbench::cli
