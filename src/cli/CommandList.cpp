#include "cli/CommandList.h"

#include "cli/ModuleOptions.h"

namespace glassbench::cli {

const std::array<CliCommand, 8> kCliCommands{{
    {"frame", RunFrame, kFrameOptionSpecs},
    {"preset", RunPreset, {}},
    {"send", RunSend, kSendOptionSpecs},
    {"ports", RunPorts, {}},
    {"module", RunModule, kModuleOptionSpecs},
    {"decode", RunDecode, kDecodeOptionSpecs},
    {"monitor", RunMonitor, kMonitorOptionSpecs},
    {"play", RunPlay, kPlayOptionSpecs},
}};

const CliCommand* FindCliCommand(std::string_view name) {
    for (const CliCommand& command : kCliCommands) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

}  // namespace glassbench::cli
