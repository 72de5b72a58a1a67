#include "serial/PortTables.h"

#include <algorithm>
#include <cstdlib>

#include "serial/NetworkPort.h"
#include "serial/PortSelector.h"

namespace glassbench::serial {

namespace {

// What ends an entry of GLASSBENCH_PORTS.
std::string Separators() {
    return {';', PlainPathSeparator()};
}

// The length of the network port name that `text` begins with, or 0 if it begins with none:
// SCHEME://HOST:PORT, HOST in brackets or up to the colon before the port. What follows up to
// the next separator belongs to it too, so that a name that does not parse is reported whole.
std::size_t NetworkNameLength(std::string_view text) {
    const auto scheme = NetworkSchemeEnd(text);
    if (!scheme) {
        return 0;
    }
    std::size_t at = *scheme + 3;
    if (at < text.size() && text[at] == '[') {
        at = std::min(text.find(']', at), text.size());
    }
    at = std::min(text.find_first_of(":" + Separators(), at), text.size());
    if (at < text.size() && text[at] == ':') {
        at = std::min(text.find_first_not_of("0123456789", at + 1), text.size());
    }
    return std::min(text.find_first_of(Separators(), at), text.size());
}

}  // namespace

std::vector<std::string> SplitPortList(std::string_view list) {
    std::vector<std::string> entries;
    while (!list.empty()) {
        std::size_t length = NetworkNameLength(list);
        if (length == 0) {
            length = PortSelectorLength(list, Separators());
        }
        if (length == 0) {
            length = std::min(list.find_first_of(Separators()), list.size());
        }
        if (length > 0) {
            entries.emplace_back(list.substr(0, length));
        }
        list.remove_prefix(std::min(length + 1, list.size()));
    }
    return entries;
}

PortNames BuildPortNameTable(std::string_view overrides, std::span<const std::string> named) {
    PortNames names = DefaultPortNames();
    std::vector<std::string> first(named.begin(), named.end());
    const std::vector<std::string> listed = SplitPortList(overrides);
    first.insert(first.end(), listed.begin(), listed.end());
    std::copy_n(first.begin(), std::min(first.size(), names.size()), names.begin());
    return names;
}

PortNames PortNameTable(std::span<const std::string> named) {
    const char* overrides = std::getenv("GLASSBENCH_PORTS");
    return BuildPortNameTable(overrides != nullptr ? overrides : "", named);
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
