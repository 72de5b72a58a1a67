// Argument parsing shared by every glassbench-cli command.
//
// Options are long only: "--name=VALUE" or "--name VALUE". A value is taken verbatim, even
// when it begins with '-', because Data and coordinate texts may ("-1" is a coordinate).
// Anything that does not begin with "--" is a positional argument, so "preset -1" works.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glassbench::cli {

struct OptionSpec {
    std::string_view name;  // without the leading "--"
    bool takesValue;
};

struct ParsedArgs {
    std::map<std::string, std::string, std::less<>> values;  // options with a value
    std::vector<std::string> flags;                          // options without one
    std::vector<std::string> positional;

    bool Has(std::string_view flag) const;
    const std::string* Value(std::string_view name) const;
};

// Parses `args` (without the program and command names). On bad usage returns nullopt and
// puts a one-line reason in `error`.
std::optional<ParsedArgs> ParseArgs(std::span<const std::string> args,
                                    std::span<const OptionSpec> options, std::string& error);

// A whole token as a decimal int with an optional sign; nullopt for anything else.
std::optional<int> ParseInt(std::string_view text);

}  // namespace glassbench::cli
