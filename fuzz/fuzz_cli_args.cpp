// glassbench-cli's command lines, for every command of the command table and for a play script
// line, read as the dispatcher reads them. The first byte picks the command; the rest, split at
// NUL bytes, is its arguments. An argument that begins with byte 01 names an option by its
// place in the command's table: the next byte picks the option, whose "--NAME" takes the place
// of both, so every option is reached, those added later too, without a dictionary of names.
// Parsing must never accept an option the command does not have, every value must come verbatim
// from the arguments, and what it returns must parse again, written out, to itself. Reading must
// give each option what its kind allows, and a command line only when the options' demands on each
// other hold; a usage error must name what it is about.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "cli/CommandLine.h"
#include "serial/NetworkPort.h"
#include "serial/PortTables.h"

using namespace glassbench;
using namespace glassbench::cli;

namespace {

const Option* Find(std::span<const Option> options, std::string_view name) {
    const auto it = std::find_if(options.begin(), options.end(),
                                 [&](const Option& o) { return o.name == name; });
    return it == options.end() ? nullptr : &*it;
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

bool Present(const std::vector<std::string>& args, const std::string& arg) {
    return std::find(args.begin(), args.end(), arg) != args.end();
}

// `value` stood in the arguments as "--name=value" or as the argument after "--name".
bool CameVerbatim(const std::vector<std::string>& args, const std::string& name,
                  const std::string& value) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--" + name + "=" + value ||
            (args[i] == "--" + name && i + 1 < args.size() && args[i + 1] == value)) {
            return true;
        }
    }
    return false;
}

bool SameParse(const ParsedArgs& a, const ParsedArgs& b) {
    return a.values == b.values && a.flags == b.flags && a.positional == b.positional;
}

void CheckParse(std::span<const Option> options, const std::vector<std::string>& args,
                const ParsedArgs& parsed) {
    for (const std::string& flag : parsed.flags) {
        const Option* known = Find(options, flag);
        FUZZ_CHECK(known != nullptr && !known->TakesValue());
        FUZZ_CHECK(Present(args, "--" + flag));
    }
    for (const auto& [name, value] : parsed.values) {
        const Option* known = Find(options, name);
        FUZZ_CHECK(known != nullptr && known->TakesValue());
        // Given alone, an option whose value may be left out has its default.
        FUZZ_CHECK(CameVerbatim(args, name, value) ||
                   (!known->optionalValue.empty() && value == known->optionalValue &&
                    Present(args, "--" + name)));
    }
    // Operands are arguments, in their order.
    auto from = args.begin();
    for (const std::string& positional : parsed.positional) {
        from = std::find(from, args.end(), positional);
        FUZZ_CHECK(from != args.end());
        ++from;
    }
    // Written out again, the result parses to itself.
    std::vector<std::string> again;
    for (const std::string& flag : parsed.flags) {
        again.push_back("--" + flag);
    }
    for (const auto& [name, value] : parsed.values) {
        again.push_back("--" + name + "=" + value);
    }
    again.push_back("--");
    again.insert(again.end(), parsed.positional.begin(), parsed.positional.end());
    std::string error;
    const auto reparsed = ParseArgs(again, options, error);
    FUZZ_CHECK(reparsed && SameParse(*reparsed, parsed));
}

void CheckParseError(std::span<const Option> options, const std::vector<std::string>& args,
                     const std::string& error) {
    static constexpr std::string_view kUnknown = "unknown option --";
    static constexpr std::string_view kNoValue = " takes no value";
    static constexpr std::string_view kNeedsValue = " needs a value";
    if (StartsWith(error, kUnknown)) {
        const std::string name = error.substr(kUnknown.size());
        FUZZ_CHECK(Find(options, name) == nullptr);
        FUZZ_CHECK(std::any_of(args.begin(), args.end(), [&](const std::string& a) {
            return a == "--" + name || StartsWith(a, "--" + name + "=");
        }));
        return;
    }
    FUZZ_CHECK(StartsWith(error, "option --"));
    const std::string_view rest = std::string_view(error).substr(9);
    const bool noValue = rest.ends_with(kNoValue);
    FUZZ_CHECK(noValue || rest.ends_with(kNeedsValue));
    const std::string name(rest.substr(0, rest.size() - (noValue ? kNoValue : kNeedsValue).size()));
    const Option* known = Find(options, name);
    FUZZ_CHECK(known != nullptr && known->TakesValue() != noValue);
    FUZZ_CHECK(noValue || (args.back() == "--" + name && known->optionalValue.empty()));
}

// A sign, digits and nothing else, read as a person would.
void CheckInt(const std::string& text, int value) {
    std::string_view digits = text;
    const bool negative = StartsWith(digits, "-");
    if (negative || StartsWith(digits, "+")) {
        digits.remove_prefix(1);
    }
    FUZZ_CHECK(!digits.empty() && std::all_of(digits.begin(), digits.end(),
                                              [](char c) { return c >= '0' && c <= '9'; }));
    while (digits.size() > 1 && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    FUZZ_CHECK(std::to_string(value) ==
               (negative && digits != "0" ? "-" : "") + std::string(digits));
}

// What one option's value may be, by its kind, given the text it came from.
void CheckValue(const Option& option, const std::string& text, const OptionValues& values) {
    const auto name = option.name;
    switch (option.kind) {
        case ValueKind::Flag:
            FUZZ_CHECK(values.Get(name, false));
            break;
        case ValueKind::Text:
        case ValueKind::Path:
            FUZZ_CHECK(values.Get(name, std::string()) == text);
            FUZZ_CHECK(option.kind == ValueKind::Text || !text.empty());
            break;
        case ValueKind::Integer:
        case ValueKind::Count:
        case ValueKind::Range: {
            const int value = *values.Find<int>(name);
            CheckInt(text, value);
            FUZZ_CHECK(option.kind != ValueKind::Count || value >= 1);
            FUZZ_CHECK(option.kind != ValueKind::Range ||
                       (value >= option.min && value <= option.max));
            break;
        }
        case ValueKind::Command:
            FUZZ_CHECK(protocol::CommandAt(*values.Find<int>(name)) != nullptr);
            break;
        case ValueKind::Speed: {
            const serial::Speed* speed = serial::SpeedAt(*values.Find<int>(name));
            FUZZ_CHECK(speed != nullptr);
            CheckInt(text, speed->bitsPerSecond);
            break;
        }
        case ValueKind::Port: {
            // A position of the list is that row's device; anything else is the device itself.
            const std::string& device = *values.Find<std::string>(name);
            const auto index = ParseInt(text);
            FUZZ_CHECK(!device.empty());
            FUZZ_CHECK(
                device ==
                (index ? serial::PortNameTable().at(static_cast<std::size_t>(*index)) : text));
            break;
        }
        case ValueKind::Listen: {
            // An address reads back from its own name.
            const serial::NetworkAddress& address = *values.Find<serial::NetworkAddress>(name);
            std::string reason;
            const auto again = serial::ParseNetworkPortName(serial::FormatNetworkPortName(address),
                                                            reason, serial::PortUse::Listen);
            FUZZ_CHECK(again && again->scheme == address.scheme && again->host == address.host &&
                       again->port == address.port);
            break;
        }
        case ValueKind::Seed: {
            std::string_view digits = text;
            while (digits.size() > 1 && digits.front() == '0') {
                digits.remove_prefix(1);
            }
            FUZZ_CHECK(std::to_string(*values.Find<std::uint64_t>(name)) == digits);
            break;
        }
        case ValueKind::FaultMix: {
            // The mix reads back from its own text, and a fault of weight 0 is never drawn.
            const module::FaultMix& mix = *values.Find<module::FaultMix>(name);
            std::string reason;
            FUZZ_CHECK(module::ParseFaultMix(module::FormatFaultMix(mix), reason) == mix);
            for (std::uint64_t frame = 0; frame < 8; ++frame) {
                const auto draw = module::DrawFault(frame * 7919, mix, frame);
                FUZZ_CHECK(mix[static_cast<std::size_t>(draw.fault)] > 0);
            }
            break;
        }
        case ValueKind::Bytes: {
            // Exactly the text's pairs, as many as the option allows.
            const auto& bytes = *values.Find<std::vector<std::uint8_t>>(name);
            FUZZ_CHECK(static_cast<int>(bytes.size()) >= option.min &&
                       static_cast<int>(bytes.size()) <= option.max);
            std::string pairs;
            for (const char c : text) {
                if (c != ' ') {
                    pairs += static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
                }
            }
            std::string again = protocol::FormatHexLine(bytes);
            std::erase(again, ' ');
            FUZZ_CHECK(again == pairs);
            break;
        }
        case ValueKind::Reply: {
            const protocol::BytePattern& pattern = *values.Find<protocol::BytePattern>(name);
            FUZZ_CHECK(pattern.size() == protocol::kReplyLength);
            FUZZ_CHECK(protocol::ParseBytePattern(protocol::FormatBytePattern(pattern)) == pattern);
            break;
        }
    }
}

void CheckValues(const CommandSpec& command, const ParsedArgs& parsed, const OptionValues& values) {
    const std::vector<Option> options = OptionsOf(command);
    for (const Option& option : options) {
        const std::string* text = parsed.Value(option.name);
        const bool given = text != nullptr || parsed.Has(option.name);
        FUZZ_CHECK(values.Has(option.name) == given);
        FUZZ_CHECK(given || !option.required);
        if (!given) {
            continue;
        }
        CheckValue(option, text != nullptr ? *text : std::string(), values);
        FUZZ_CHECK(option.needs.empty() || values.Has(option.needs));
        for (const std::string_view other : Excluded(option)) {
            FUZZ_CHECK(!values.Has(other));
        }
    }
    FUZZ_CHECK(values.operands == parsed.positional);
    FUZZ_CHECK(values.operands.size() >= command.minOperands &&
               values.operands.size() <= command.maxOperands);
    // The frame options give the window's fields, the rest as the window starts.
    if (std::find(command.groups.begin(), command.groups.end(), &kFrameGroup) !=
        command.groups.end()) {
        const protocol::CommandFields fields = FrameFields(values);
        const protocol::CommandFields start;
        FUZZ_CHECK(fields.xText == values.Get("x", start.xText));
        FUZZ_CHECK(fields.dataText == values.Get("data", start.dataText));
        FUZZ_CHECK(fields.commandIndex == values.Get("command", start.commandIndex));
        FUZZ_CHECK(fields.fontSizeIndex == values.Get("font-size", start.fontSizeIndex));
    }
}

// A usage error names what it is about: an option given, or the command with what it lacks or
// has too many of.
void CheckReadError(const CommandSpec& command, const ParsedArgs& parsed,
                    const std::string& error) {
    FUZZ_CHECK(!error.empty());
    for (const Option& option : OptionsOf(command)) {
        const bool given = parsed.Value(option.name) != nullptr || parsed.Has(option.name);
        if (given && StartsWith(error, "--" + std::string(option.name) + " ")) {
            return;
        }
        if (!given && option.required &&
            error == std::string(command.name) + " needs " + OptionSynopsis(option)) {
            return;
        }
    }
    FUZZ_CHECK(StartsWith(error, std::string(command.name) + " "));
    FUZZ_CHECK(parsed.positional.size() < command.minOperands ||
               parsed.positional.size() > command.maxOperands);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // Every command of the table, and a play script line.
    const std::size_t pick = data[0] % (kCommands.size() + 1);
    const CommandSpec& command = pick < kCommands.size() ? kCommands[pick] : kScriptLine;
    // The options the dispatcher gives the parser: the command's own and --help.
    std::vector<Option> options = OptionsOf(command);
    if (&command != &kScriptLine) {
        options.push_back(kHelpOption);
    }
    std::vector<std::string> args;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    for (std::size_t at = 0; at <= rest.size() && !rest.empty();) {
        const auto end = std::min(rest.find('\0', at), rest.size());
        std::string arg(rest.substr(at, end - at));
        if (arg.size() >= 2 && arg[0] == '\x01') {
            const Option& named = options[static_cast<std::uint8_t>(arg[1]) % options.size()];
            arg = "--" + std::string(named.name) + arg.substr(2);
        }
        args.push_back(std::move(arg));
        at = end + 1;
    }
    std::string error;
    const auto parsed = ParseArgs(args, options, error);
    if (!parsed) {
        CheckParseError(options, args, error);
        return 0;
    }
    CheckParse(options, args, *parsed);
    if (parsed->Has(kHelpOption.name)) {
        return 0;
    }
    const auto values = ReadCommandLine(command, *parsed, error);
    if (!values) {
        CheckReadError(command, *parsed, error);
        return 0;
    }
    CheckValues(command, *parsed, *values);
    return 0;
}
