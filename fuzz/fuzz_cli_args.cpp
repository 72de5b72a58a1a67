// glassbench-cli's argument parsing for every command's options, then the checks of the frame
// and module options. The first byte picks the command; the rest, split at NUL bytes, is its
// arguments. Parsing must never accept an option the command does not have, every value must
// come verbatim from the arguments, and what it returns must parse again, written out, to
// itself; the option checks must give only settings their options allow.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FrameOptions.h"
#include "cli/ModuleOptions.h"
#include "serial/NetworkPort.h"

using namespace glassbench;
using namespace glassbench::cli;

namespace {

struct Command {
    std::string_view name;
    std::span<const OptionSpec> options;
};

// Every command's own table; "preset" and "ports" take no options.
const std::array<Command, 5> kCommands{{
    {"frame", kFrameOptionSpecs},
    {"preset", {}},
    {"send", kSendOptionSpecs},
    {"ports", {}},
    {"module", kModuleOptionSpecs},
}};

const OptionSpec* Find(std::span<const OptionSpec> specs, std::string_view name) {
    const auto it = std::find_if(specs.begin(), specs.end(),
                                 [&](const OptionSpec& s) { return s.name == name; });
    return it == specs.end() ? nullptr : &*it;
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

// The option a usage error names: "--NAME ..." or "... option --NAME ...".
void CheckErrorNamesAGivenOption(const std::string& error, const std::vector<std::string>& args) {
    FUZZ_CHECK(!error.empty());
    bool named = false;
    for (const std::string& arg : args) {
        if (StartsWith(arg, "--") && arg.size() > 2) {
            const std::string option = arg.substr(0, arg.find('='));
            named = named || StartsWith(error, option + " ") || StartsWith(error, option + "'") ||
                    error.find("option " + option) != std::string::npos;
        }
    }
    FUZZ_CHECK(named);
}

void CheckParse(std::span<const OptionSpec> specs, const std::vector<std::string>& args,
                const ParsedArgs& parsed) {
    for (const std::string& flag : parsed.flags) {
        const OptionSpec* known = Find(specs, flag);
        FUZZ_CHECK(known != nullptr && !known->takesValue);
        FUZZ_CHECK(Present(args, "--" + flag));
    }
    for (const auto& [name, value] : parsed.values) {
        const OptionSpec* known = Find(specs, name);
        FUZZ_CHECK(known != nullptr && known->takesValue);
        FUZZ_CHECK(CameVerbatim(args, name, value));
    }
    // Positional arguments are arguments, in their order.
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
    const auto reparsed = ParseArgs(again, specs, error);
    FUZZ_CHECK(reparsed && SameParse(*reparsed, parsed));
}

void CheckError(std::span<const OptionSpec> specs, const std::vector<std::string>& args,
                const std::string& error) {
    static constexpr std::string_view kUnknown = "unknown option --";
    static constexpr std::string_view kNoValue = " takes no value";
    static constexpr std::string_view kNeedsValue = " needs a value";
    FUZZ_CHECK(!error.empty());
    if (StartsWith(error, kUnknown)) {
        const std::string name = error.substr(kUnknown.size());
        FUZZ_CHECK(Find(specs, name) == nullptr);
        FUZZ_CHECK(std::any_of(args.begin(), args.end(), [&](const std::string& a) {
            return a == "--" + name || StartsWith(a, "--" + name + "=");
        }));
        return;
    }
    FUZZ_CHECK(StartsWith(error, "option --"));
    const std::string_view rest = std::string_view(error).substr(9);
    if (rest.ends_with(kNoValue)) {
        const std::string name(rest.substr(0, rest.size() - kNoValue.size()));
        const OptionSpec* known = Find(specs, name);
        FUZZ_CHECK(known != nullptr && !known->takesValue);
    } else {
        FUZZ_CHECK(rest.ends_with(kNeedsValue));
        const std::string name(rest.substr(0, rest.size() - kNeedsValue.size()));
        const OptionSpec* known = Find(specs, name);
        FUZZ_CHECK(known != nullptr && known->takesValue && args.back() == "--" + name);
    }
}

void CheckInt(const std::string& text) {
    const auto value = ParseInt(text);
    if (!value) {
        return;
    }
    // A sign, digits and nothing else, read as a person would.
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
    const std::string expected = (negative && digits != "0" ? "-" : "") + std::string(digits);
    FUZZ_CHECK(std::to_string(*value) == expected);
}

void CheckFrameOptions(const ParsedArgs& parsed, const std::vector<std::string>& args) {
    std::string error;
    const auto fields = ReadFrameOptions(parsed, error);
    if (!fields) {
        CheckErrorNamesAGivenOption(error, args);
        return;
    }
    const protocol::CommandFields standard;
    const auto verbatim = [&](const char* name, const std::string& field,
                              const std::string& fallback) {
        const std::string* value = parsed.Value(name);
        return field == (value != nullptr ? *value : fallback);
    };
    FUZZ_CHECK(verbatim("x", fields->xText, standard.xText));
    FUZZ_CHECK(verbatim("y", fields->yText, standard.yText));
    FUZZ_CHECK(verbatim("data", fields->dataText, standard.dataText));
    FUZZ_CHECK(protocol::CommandAt(fields->commandIndex) != nullptr);
    const auto index = [&](const char* name, int fallback) {
        const std::string* value = parsed.Value(name);
        return value != nullptr ? ParseInt(*value).value() : fallback;
    };
    FUZZ_CHECK(fields->transparentIndex == index("transparent", standard.transparentIndex));
    FUZZ_CHECK(fields->fontSizeIndex == index("font-size", standard.fontSizeIndex));
    FUZZ_CHECK(fields->lcdsType == protocol::LcdsTypeFromIndex(index("lcd-type", 0)));
}

void CheckModuleOptions(const ParsedArgs& parsed, const std::vector<std::string>& args) {
    std::string error;
    const auto options = ReadModuleOptions(parsed, error);
    if (!options) {
        CheckErrorNamesAGivenOption(error, args);
        return;
    }
    const std::string* link = parsed.Value("link");
    FUZZ_CHECK(link != nullptr ? options->linkPath == *link && !link->empty()
                               : options->linkPath.empty());
    // A listening address reads back from its own name, and never comes with a link.
    const std::string* listen = parsed.Value("listen");
    FUZZ_CHECK(options->listen.has_value() == (listen != nullptr));
    if (listen != nullptr) {
        FUZZ_CHECK(link == nullptr);
        std::string reason;
        const auto again = serial::ParseNetworkPortName(
            serial::FormatNetworkPortName(*options->listen), reason, serial::PortUse::Listen);
        FUZZ_CHECK(again && again->scheme == options->listen->scheme &&
                   again->host == options->listen->host && again->port == options->listen->port);
    }
    FUZZ_CHECK(options->replyDelayMs >= 0 && options->replyDelayMs <= 600000);
    FUZZ_CHECK(options->replyLength >= 0 && options->replyLength <= 255);
    FUZZ_CHECK(options->silent == parsed.Has("silent"));
    FUZZ_CHECK(options->wireTiming == parsed.Has("wire-timing"));
    const std::string* seed = parsed.Value("faults");
    FUZZ_CHECK(options->faultSeed.has_value() == (seed != nullptr));
    if (seed == nullptr) {
        FUZZ_CHECK(parsed.Value("fault-mix") == nullptr);
        return;
    }
    // A seed is the decimal number given; faults leave the answer's shape to themselves.
    std::string_view digits = *seed;
    while (digits.size() > 1 && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    FUZZ_CHECK(std::to_string(*options->faultSeed) == digits);
    FUZZ_CHECK(!options->silent && parsed.Value("reply-length") == nullptr);
    // The mix reads back from its own text, and a fault of weight 0 is never drawn.
    const module::FaultMix& mix = options->faultMix;
    FUZZ_CHECK(parsed.Value("fault-mix") != nullptr || mix == module::kDefaultFaultMix);
    std::string reason;
    FUZZ_CHECK(module::ParseFaultMix(module::FormatFaultMix(mix), reason) == mix);
    for (std::uint64_t frame = 0; frame < 8; ++frame) {
        const auto draw = module::DrawFault(*options->faultSeed, mix, frame);
        FUZZ_CHECK(mix[static_cast<std::size_t>(draw.fault)] > 0);
        FUZZ_CHECK(draw.sequence == frame);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const Command& command = kCommands[data[0] % kCommands.size()];
    std::vector<std::string> args;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    for (std::size_t at = 0; at <= rest.size() && !rest.empty();) {
        const auto end = std::min(rest.find('\0', at), rest.size());
        args.emplace_back(rest.substr(at, end - at));
        at = end + 1;
    }

    // The options ParseCommand gives the parser: the command's own and --help.
    std::vector<OptionSpec> specs(command.options.begin(), command.options.end());
    specs.push_back({"help", false});
    std::string error;
    const auto parsed = ParseArgs(args, specs, error);
    if (!parsed) {
        CheckError(specs, args, error);
        return 0;
    }
    CheckParse(specs, args, *parsed);
    for (const auto& [name, value] : parsed->values) {
        CheckInt(value);
    }
    if (command.name == "frame" || command.name == "send") {
        CheckFrameOptions(*parsed, args);
    } else if (command.name == "module") {
        CheckModuleOptions(*parsed, args);
    }
    return 0;
}
