#include "serial/PortTables.h"

#include <cstdlib>

namespace glassbench::serial {

PortNames BuildPortNameTable(std::string_view overrides) {
    PortNames names = DefaultPortNames();
    std::size_t position = 0;
    while (!overrides.empty() && position < names.size()) {
        const auto separator = overrides.find(PortNameSeparator());
        const std::string_view entry = overrides.substr(0, separator);
        if (!entry.empty()) {
            names[position++] = std::string(entry);
        }
        if (separator == std::string_view::npos) {
            break;
        }
        overrides.remove_prefix(separator + 1);
    }
    return names;
}

PortNames PortNameTable() {
    const char* overrides = std::getenv("GLASSBENCH_PORTS");
    return BuildPortNameTable(overrides != nullptr ? overrides : "");
}

const Speed* SpeedAt(int index) {
    if (index < 0 || index >= kSpeedCount) {
        return nullptr;
    }
    return &SpeedTable[static_cast<std::size_t>(index)];
}

std::optional<int> SpeedIndexFor(int bitsPerSecond) {
    for (int i = 0; i < kSpeedCount; ++i) {
        if (SpeedTable[static_cast<std::size_t>(i)].bitsPerSecond == bitsPerSecond) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace glassbench::serial
