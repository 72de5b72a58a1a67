#include "cli/CliArgs.h"

#include <algorithm>
#include <charconv>

namespace glassbench::cli {

bool ParsedArgs::Has(std::string_view flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

const std::string* ParsedArgs::Value(std::string_view name) const {
    const auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
}

std::optional<ParsedArgs> ParseArgs(std::span<const std::string> args,
                                    std::span<const OptionSpec> options, std::string& error) {
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
                                        [&](const OptionSpec& s) { return s.name == name; });
        if (known == options.end()) {
            error = "unknown option --" + std::string(name);
            return std::nullopt;
        }
        if (!known->takesValue) {
            if (eq != std::string_view::npos) {
                error = "option --" + std::string(name) + " takes no value";
                return std::nullopt;
            }
            parsed.flags.emplace_back(name);
            continue;
        }
        if (eq != std::string_view::npos) {
            parsed.values[std::string(name)] = std::string(body.substr(eq + 1));
        } else if (i + 1 < args.size()) {
            parsed.values[std::string(name)] = args[++i];
        } else {
            error = "option --" + std::string(name) + " needs a value";
            return std::nullopt;
        }
    }
    return parsed;
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

}  // namespace glassbench::cli
