#include "cli/FrameOptions.h"

namespace glassbench::cli {

std::optional<int> ResolveCommand(std::string_view name) {
    if (const auto index = ParseInt(name)) {
        if (protocol::CommandAt(*index) != nullptr) {
            return index;
        }
        return std::nullopt;
    }
    return protocol::FindCommand(name);
}

std::optional<protocol::CommandFields> ReadFrameOptions(const ParsedArgs& args,
                                                        std::string& error) {
    protocol::CommandFields fields;
    if (const auto* command = args.Value("command")) {
        const auto index = ResolveCommand(*command);
        if (!index) {
            error = "--command '" + *command + "' names no command";
            return std::nullopt;
        }
        fields.commandIndex = *index;
    }
    if (const auto* x = args.Value("x")) {
        fields.xText = *x;
    }
    if (const auto* y = args.Value("y")) {
        fields.yText = *y;
    }
    if (const auto* data = args.Value("data")) {
        fields.dataText = *data;
    }
    struct IndexOption {
        const char* name;
        int* target;
    };
    int lcdIndex = 0;
    const IndexOption indexOptions[] = {
        {"transparent", &fields.transparentIndex},
        {"font-size", &fields.fontSizeIndex},
        {"lcd-type", &lcdIndex},
    };
    for (const auto& option : indexOptions) {
        if (const auto* text = args.Value(option.name)) {
            const auto value = ParseInt(*text);
            if (!value) {
                error = std::string("--") + option.name + " '" + *text + "' is not an integer";
                return std::nullopt;
            }
            *option.target = *value;
        }
    }
    fields.lcdsType = protocol::LcdsTypeFromIndex(lcdIndex);
    return fields;
}

}  // namespace glassbench::cli
