#include "cli/CommandLine.h"

#include <algorithm>

namespace glassbench::cli {

namespace {

const Option* FindOption(std::span<const Option> options, std::string_view name) {
    const auto it = std::find_if(options.begin(), options.end(),
                                 [&](const Option& o) { return o.name == name; });
    return it == options.end() ? nullptr : &*it;
}

// What the options ask of each other; "" when every demand is met.
std::string Conflict(std::string_view command, std::span<const Option> options,
                     const OptionValues& values) {
    for (const Option& option : options) {
        if (option.required && !values.Has(option.name)) {
            return std::string(command) + " needs " + OptionSynopsis(option);
        }
        if (!values.Has(option.name)) {
            continue;
        }
        if (!option.needs.empty() && !values.Has(option.needs)) {
            return "--" + std::string(option.name) + " needs " +
                   OptionSynopsis(*FindOption(options, option.needs));
        }
        for (const std::string_view other : Excluded(option)) {
            if (values.Has(other)) {
                return "--" + std::string(option.name) + " and --" + std::string(other) +
                       " do not go together";
            }
        }
    }
    return {};
}

}  // namespace

const CommandSpec* FindCommandSpec(std::string_view name) {
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [&](const CommandSpec& c) { return c.name == name; });
    return it == kCommands.end() ? nullptr : &*it;
}

std::vector<Option> OptionsOf(const CommandSpec& command) {
    std::vector<Option> options;
    for (const OptionGroup* group : command.groups) {
        options.insert(options.end(), group->options.begin(), group->options.end());
    }
    return options;
}

std::optional<OptionValues> ReadCommandLine(const CommandSpec& command, const ParsedArgs& parsed,
                                            std::string& error) {
    const std::vector<std::string>& operands = parsed.positional;
    if (operands.size() < command.minOperands) {
        error = std::string(command.name) + " " + std::string(command.fewOperands);
        return std::nullopt;
    }
    if (operands.size() > command.maxOperands) {
        error = std::string(command.name) + " takes no argument '" + operands[command.maxOperands] +
                "'";
        return std::nullopt;
    }
    OptionValues values;
    values.operands = operands;
    const std::vector<Option> options = OptionsOf(command);
    for (const Option& option : options) {
        const std::string* text = parsed.Value(option.name);
        if (text == nullptr && !parsed.Has(option.name)) {
            continue;
        }
        auto value = ReadValue(option, text != nullptr ? *text : std::string(), error);
        if (!value) {
            return std::nullopt;
        }
        values.Set(option.name, std::move(*value));
    }
    error = Conflict(command.name, options, values);
    if (!error.empty()) {
        return std::nullopt;
    }
    return values;
}

protocol::CommandFields FrameFields(const OptionValues& values) {
    protocol::CommandFields fields;
    fields.commandIndex = values.Get("command", fields.commandIndex);
    fields.xText = values.Get("x", fields.xText);
    fields.yText = values.Get("y", fields.yText);
    fields.dataText = values.Get("data", fields.dataText);
    fields.transparentIndex = values.Get("transparent", fields.transparentIndex);
    fields.fontSizeIndex = values.Get("font-size", fields.fontSizeIndex);
    fields.lcdsType = protocol::LcdsTypeFromIndex(values.Get("lcd-type", 0));
    return fields;
}

OutgoingFrame OutgoingFrameOf(const OptionValues& values) {
    return {FrameFields(values), values.Get("raw", std::vector<std::uint8_t>())};
}

std::vector<std::uint8_t> WireBytes(const OutgoingFrame& frame) {
    if (!frame.raw.empty()) {
        return frame.raw;
    }
    protocol::CommandFrame buffer{};
    protocol::DataStore store{};
    const int length = protocol::BuildCommandFrame(frame.fields, buffer, store).frameLength;
    return {buffer.begin(), buffer.begin() + length};
}

}  // namespace glassbench::cli
