// The options layer of glassbench-cli: what an option is, how a command line is split into
// options and operands, and how each option's value is read.
//
// Options are long only: "--name=VALUE" or "--name VALUE" ("--name[=VALUE]" for one whose value
// may be left out, which then has its default). A value is taken verbatim, even
// when it begins with '-', because Data and coordinate texts may ("-1" is a coordinate).
// Anything that does not begin with "--" is an operand, so "preset -1" works; "--" ends the
// options. Reading happens in two steps: ParseArgs splits the words by the names the options
// have; ReadValue turns one value's text into what its kind says (a number in its range, a
// list row, a device), with the reason for bad usage when it cannot. Every value of every
// command is read there, so a kind's rule and its message have one home.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "module/ModuleFaults.h"
#include "protocol/HexText.h"
#include "serial/NetworkPort.h"

namespace glassbench::cli {

// What an option's value is, and so how it is read and what it gives (in brackets).
enum class ValueKind {
    Flag,      // no value [true]
    Text,      // taken verbatim [string]
    Path,      // taken verbatim, not empty [string]
    Integer,   // a whole decimal number with an optional sign [int]
    Count,     // an integer of 1 or more [int]
    Range,     // an integer from Option::min to Option::max [int]
    Command,   // a list index 0-19, a list text or a section name [the list index]
    Speed,     // a speed of the Speed list [its row]
    Port,      // a device path, a network port or a position of the Port list [the device]
    Listen,    // a network port to serve, port 0 for any free one [serial::NetworkAddress]
    Seed,      // 0 to 2^64 - 1 [std::uint64_t]
    FaultMix,  // NAME:WEIGHT,... [module::FaultMix]
    Reply,     // five bytes as hex pairs or ?? [protocol::BytePattern]
    Bytes,     // Option::min to Option::max bytes as strict hex pairs [std::vector<std::uint8_t>]
};

struct Option {
    std::string_view name;  // without the leading "--"
    ValueKind kind = ValueKind::Flag;
    std::string_view valueName;  // how the usage names the value: "DEVICE|INDEX"
    std::string_view help;       // one sentence for the usage, without a full stop
    int min = 0;                 // Range; Bytes: how many
    int max = 0;
    std::string_view unit = {};  // Range: the unit its message names ("milliseconds")
    bool required = false;
    std::string_view needs = {};     // an option it does nothing without
    std::string_view excludes = {};  // options it does not go with, blank-separated
    // The value it has when it is given alone ("--reconnect"); such an option takes a value
    // of its own only after '=' ("--reconnect=30"), never from the next word.
    std::string_view optionalValue = {};

    bool TakesValue() const { return kind != ValueKind::Flag; }
};

// The option as the usage and the messages write it: "--port=DEVICE|INDEX", "--json".
std::string OptionSynopsis(const Option& option);

// A Range option's bounds as its message and the usage give them: "0 to 255", "0 to 3600000
// milliseconds".
std::string RangeText(const Option& option);

// The names of the options `option` does not go with.
std::vector<std::string_view> Excluded(const Option& option);

// --help, which every command knows.
inline constexpr Option kHelpOption{"help", ValueKind::Flag, "", "show this text"};

// The words of a command line, split by the options' names.
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
                                    std::span<const Option> options, std::string& error);

using OptionValue =
    std::variant<bool, int, std::uint64_t, std::string, module::FaultMix, protocol::BytePattern,
                 serial::NetworkAddress, std::vector<std::uint8_t>>;

// `text` read as `option`'s kind says; nullopt with the reason in `error` when it cannot be.
std::optional<OptionValue> ReadValue(const Option& option, const std::string& text,
                                     std::string& error);

// What a command is handed: each option given, read, and the operands.
class OptionValues {
  public:
    std::vector<std::string> operands;

    void Set(std::string_view name, OptionValue value);
    bool Has(std::string_view name) const;

    // The value of an option of the kind that gives a T, or null when it was not given.
    template <class T>
    const T* Find(std::string_view name) const {
        const auto it = values_.find(name);
        return it == values_.end() ? nullptr : &std::get<T>(it->second);
    }
    template <class T>
    T Get(std::string_view name, T fallback) const {
        const T* value = Find<T>(name);
        return value != nullptr ? *value : fallback;
    }

  private:
    std::map<std::string, OptionValue, std::less<>> values_;
};

// A whole token as a decimal int with an optional sign; nullopt for anything else.
std::optional<int> ParseInt(std::string_view text);

// A command named by its list index, list text or section name.
std::optional<int> ResolveCommand(std::string_view name);

}  // namespace glassbench::cli
