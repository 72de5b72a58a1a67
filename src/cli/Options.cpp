#include "cli/Options.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "protocol/CommandFrame.h"
#include "protocol/CommandTable.h"
#include "serial/NetworkPort.h"
#include "serial/PortSelector.h"
#include "serial/PortTables.h"

namespace glassbench::cli {

namespace {

std::string Quoted(const Option& option, const std::string& text) {
    return "--" + std::string(option.name) + " '" + text + "'";
}

std::optional<OptionValue> ReadPort(const Option& option, const std::string& text,
                                    std::string& error) {
    if (text.empty()) {
        error = "--" + std::string(option.name) + " needs a device or a port position";
        return std::nullopt;
    }
    const auto index = ParseInt(text);
    if (!index) {
        // A device path, a selector or a network port, whose name is checked here rather than
        // at the open; which port a selector matches is known only then.
        std::string reason;
        if ((serial::IsNetworkPortName(text) && !serial::ParseNetworkPortName(text, reason)) ||
            (serial::IsPortSelector(text) && !serial::ParsePortSelector(text, reason))) {
            error = "--" + std::string(option.name) + " " + reason;
            return std::nullopt;
        }
        return text;
    }
    if (*index < 0 || *index >= serial::kPortCount) {
        error = "--" + std::string(option.name) + " index " + text + " is not 0 to " +
                std::to_string(serial::kPortCount - 1);
        return std::nullopt;
    }
    return serial::PortNameTable()[static_cast<std::size_t>(*index)];
}

std::optional<OptionValue> ReadSpeed(const Option& option, const std::string& text,
                                     std::string& error) {
    const auto bps = ParseInt(text);
    if (const auto row = bps ? serial::SpeedIndexFor(*bps) : std::nullopt) {
        return *row;
    }
    error = Quoted(option, text) + " is not one of ";
    for (const serial::Speed& speed : serial::SpeedTable) {
        error += std::string(speed.text) + (&speed != &serial::SpeedTable.back() ? ", " : "");
    }
    return std::nullopt;
}

std::optional<OptionValue> ReadSeed(const Option& option, const std::string& text,
                                    std::string& error) {
    std::uint64_t seed = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, seed);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) {
        error = Quoted(option, text) + " is not a seed from 0 to " +
                std::to_string(std::numeric_limits<std::uint64_t>::max());
        return std::nullopt;
    }
    return seed;
}

}  // namespace

std::string OptionSynopsis(const Option& option) {
    if (!option.optionalValue.empty()) {
        return "--" + std::string(option.name) + "[=" + std::string(option.valueName) + "]";
    }
    return "--" + std::string(option.name) +
           (option.TakesValue() ? "=" + std::string(option.valueName) : "");
}

std::string RangeText(const Option& option) {
    return std::to_string(option.min) + " to " + std::to_string(option.max) +
           (option.unit.empty() ? "" : " " + std::string(option.unit));
}

std::vector<std::string_view> Excluded(const Option& option) {
    std::vector<std::string_view> names;
    for (std::string_view rest = option.excludes; !rest.empty();) {
        names.push_back(rest.substr(0, rest.find(' ')));
        rest.remove_prefix(std::min(rest.size(), names.back().size() + 1));
    }
    return names;
}

bool ParsedArgs::Has(std::string_view flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

const std::string* ParsedArgs::Value(std::string_view name) const {
    const auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
}

std::optional<ParsedArgs> ParseArgs(std::span<const std::string> args,
                                    std::span<const Option> options, std::string& error) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::string_view body = std::string_view(arg).substr(2);
        const auto eq = body.find('=');
        const std::string_view name = body.substr(0, eq);
        const auto known = std::find_if(options.begin(), options.end(),
                                        [&](const Option& o) { return o.name == name; });
        if (known == options.end()) {
            error = "unknown option --" + std::string(name);
            return std::nullopt;
        }
        if (!known->TakesValue()) {
            if (eq != std::string_view::npos) {
                error = "option --" + std::string(name) + " takes no value";
                return std::nullopt;
            }
            parsed.flags.emplace_back(name);
            continue;
        }
        if (eq != std::string_view::npos) {
            parsed.values[std::string(name)] = std::string(body.substr(eq + 1));
        } else if (!known->optionalValue.empty()) {
            parsed.values[std::string(name)] = std::string(known->optionalValue);
        } else if (i + 1 < args.size()) {
            parsed.values[std::string(name)] = args[++i];
        } else {
            error = "option --" + std::string(name) + " needs a value";
            return std::nullopt;
        }
    }
    return parsed;
}

std::optional<OptionValue> ReadValue(const Option& option, const std::string& text,
                                     std::string& error) {
    const auto number = ParseInt(text);
    switch (option.kind) {
        case ValueKind::Flag:
            return true;
        case ValueKind::Text:
            return text;
        case ValueKind::Path:
            if (text.empty()) {
                error = "--" + std::string(option.name) + " needs a path";
                return std::nullopt;
            }
            return text;
        case ValueKind::Integer:
            if (!number) {
                error = Quoted(option, text) + " is not an integer";
                return std::nullopt;
            }
            return *number;
        case ValueKind::Count:
            if (!number || *number < 1) {
                error = Quoted(option, text) + " is not a count of 1 or more";
                return std::nullopt;
            }
            return *number;
        case ValueKind::Range:
            if (!number || *number < option.min || *number > option.max) {
                error = Quoted(option, text) + " is not " + RangeText(option);
                return std::nullopt;
            }
            return *number;
        case ValueKind::Command:
            if (const auto index = ResolveCommand(text)) {
                return *index;
            }
            error = Quoted(option, text) + " names no command";
            return std::nullopt;
        case ValueKind::Speed:
            return ReadSpeed(option, text, error);
        case ValueKind::Port:
            return ReadPort(option, text, error);
        case ValueKind::Listen: {
            std::string reason;
            if (auto address =
                    serial::ParseNetworkPortName(text, reason, serial::PortUse::Listen)) {
                return *address;
            }
            error = "--" + std::string(option.name) + " " + reason;
            return std::nullopt;
        }
        case ValueKind::Seed:
            return ReadSeed(option, text, error);
        case ValueKind::FaultMix: {
            std::string reason;
            if (auto mix = module::ParseFaultMix(text, reason)) {
                return *mix;
            }
            error = Quoted(option, text) + ": " + reason;
            return std::nullopt;
        }
        case ValueKind::Reply:
            if (auto pattern = protocol::ParseBytePattern(text);
                pattern && pattern->size() == protocol::kReplyLength) {
                return *pattern;
            }
            error = Quoted(option, text) + " is not " + std::to_string(protocol::kReplyLength) +
                    " bytes as hex pairs or ??";
            return std::nullopt;
        case ValueKind::Bytes: {
            auto bytes = protocol::ParseHexPairs(text);
            if (!bytes) {
                error = Quoted(option, text) +
                        " is not hex pairs (two hex digits a byte, blanks between bytes optional)";
                return std::nullopt;
            }
            const auto count = static_cast<int>(bytes->size());
            if (count < option.min || count > option.max) {
                error = "--" + std::string(option.name) + " holds " + std::to_string(count) +
                        " bytes, not " + RangeText(option);
                return std::nullopt;
            }
            return *std::move(bytes);
        }
    }
    return std::nullopt;
}

void OptionValues::Set(std::string_view name, OptionValue value) {
    values_.insert_or_assign(std::string(name), std::move(value));
}

bool OptionValues::Has(std::string_view name) const {
    return values_.find(name) != values_.end();
}

std::optional<int> ParseInt(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ResolveCommand(std::string_view name) {
    if (const auto index = ParseInt(name)) {
        if (protocol::CommandAt(*index) != nullptr) {
            return index;
        }
        return std::nullopt;
    }
    return protocol::FindCommand(name);
}

}  // namespace glassbench::cli
