#include "cli/ModuleOptions.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace glassbench::cli {

std::optional<module::ModuleOptions> ReadModuleOptions(const ParsedArgs& args, std::string& error) {
    module::ModuleOptions options;
    if (const auto* link = args.Value("link")) {
        if (link->empty()) {
            error = "--link needs a path";
            return std::nullopt;
        }
        options.linkPath = *link;
    }
    if (const auto* listen = args.Value("listen")) {
        std::string reason;
        options.listen = serial::ParseNetworkPortName(*listen, reason, serial::PortUse::Listen);
        if (!options.listen) {
            error = "--listen " + reason;
            return std::nullopt;
        }
        if (args.Value("link") != nullptr) {
            error = "--listen and --link do not go together";
            return std::nullopt;
        }
    }
    struct Bounded {
        const char* name;
        int* target;
        int max;
    };
    const Bounded numbers[] = {
        {"reply-delay-ms", &options.replyDelayMs, 600000},
        {"reply-length", &options.replyLength, 255},
    };
    for (const auto& number : numbers) {
        if (const auto* text = args.Value(number.name)) {
            const auto value = ParseInt(*text);
            if (!value || *value < 0 || *value > number.max) {
                error = std::string("--") + number.name + " '" + *text + "' is not 0 to " +
                        std::to_string(number.max);
                return std::nullopt;
            }
            *number.target = *value;
        }
    }
    options.silent = args.Has("silent");
    options.wireTiming = args.Has("wire-timing");

    if (const auto* seed = args.Value("faults")) {
        std::uint64_t value = 0;
        const char* end = seed->data() + seed->size();
        const auto result = std::from_chars(seed->data(), end, value);
        if (seed->empty() || result.ec != std::errc() || result.ptr != end) {
            error = "--faults '" + *seed + "' is not a seed from 0 to " +
                    std::to_string(std::numeric_limits<std::uint64_t>::max());
            return std::nullopt;
        }
        options.faultSeed = value;
        // The faults choose every answer's shape; these would only fight them.
        const char* clash = options.silent                          ? "silent"
                            : args.Value("reply-length") != nullptr ? "reply-length"
                                                                    : nullptr;
        if (clash != nullptr) {
            error = std::string("--faults and --") + clash + " do not go together";
            return std::nullopt;
        }
    }
    if (const auto* mix = args.Value("fault-mix")) {
        if (!options.faultSeed) {
            error = "--fault-mix needs --faults=SEED";
            return std::nullopt;
        }
        std::string reason;
        const auto parsed = module::ParseFaultMix(*mix, reason);
        if (!parsed) {
            error = "--fault-mix '" + *mix + "': " + reason;
            return std::nullopt;
        }
        options.faultMix = *parsed;
    }
    return options;
}

}  // namespace glassbench::cli
