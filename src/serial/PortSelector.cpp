#include "serial/PortSelector.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace glassbench::serial {

namespace {

constexpr std::string_view kScheme = "usb:";

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// One to four hex digits at the start of `text`, taken off it.
std::optional<std::uint16_t> TakeId(std::string_view& text) {
    const auto length = std::min<std::size_t>(
        std::find_if_not(text.begin(), text.end(), IsHexDigit) - text.begin(), 5);
    if (length == 0 || length > 4) {
        return std::nullopt;
    }
    unsigned value = 0;
    std::from_chars(text.data(), text.data() + length, value, 16);
    text.remove_prefix(length);
    return static_cast<std::uint16_t>(value);
}

// The ids a selector begins with, and what follows them; nullopt when `text` has no "usb:"
// followed by two ids.
std::optional<std::pair<PortSelector, std::string_view>> TakeIds(std::string_view text) {
    if (!IsPortSelector(text)) {
        return std::nullopt;
    }
    text.remove_prefix(kScheme.size());
    PortSelector selector;
    const auto vendor = TakeId(text);
    if (!vendor || text.empty() || text.front() != ':') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    const auto product = TakeId(text);
    if (!product) {
        return std::nullopt;
    }
    selector.vendorId = *vendor;
    selector.productId = *product;
    return std::pair(selector, text);
}

std::string Listed(const PresentPort& port, std::span<const PresentPort> present) {
    std::string line = port.device;
    for (const std::string& part : {SelectorOf(port, present), PortSummary(port)}) {
        if (!part.empty()) {
            line += "  " + part;
        }
    }
    return line;
}

class SelectorCategory final : public std::error_category {
  public:
    const char* name() const noexcept override { return "port selector"; }
    std::string message(int value) const override {
        switch (static_cast<SelectorError>(value)) {
            case SelectorError::NoMatch:
                return "no port matches the selector";
            case SelectorError::Several:
                return "several ports match the selector";
            case SelectorError::Bad:
                return "the selector is not usb:VID:PID, usb:VID:PID:SERIAL or "
                       "usb:VID:PID@LOCATION";
        }
        return "port selector error";
    }
};

}  // namespace

bool IsPortSelector(std::string_view name) {
    return name.size() >= kScheme.size() &&
           std::equal(kScheme.begin(), kScheme.end(), name.begin(), [](char a, char b) {
               return a == std::tolower(static_cast<unsigned char>(b));
           });
}

std::optional<PortSelector> ParsePortSelector(std::string_view name, std::string& reason) {
    auto taken = TakeIds(name);
    if (taken) {
        auto& [selector, rest] = *taken;
        if (rest.empty()) {
            return selector;
        }
        if (rest.size() > 1 && rest.front() == ':') {
            selector.serialNumber = rest.substr(1);
            return selector;
        }
        if (rest.size() > 1 && rest.front() == '@') {
            selector.location = rest.substr(1);
            return selector;
        }
    }
    reason = "'" + std::string(name) +
             "' is no port selector: usb:VID:PID, usb:VID:PID:SERIAL or usb:VID:PID@LOCATION, "
             "with VID and PID in hex";
    return std::nullopt;
}

std::size_t PortSelectorLength(std::string_view text, std::string_view separators) {
    const auto taken = TakeIds(text);
    if (!taken) {
        return 0;
    }
    const std::string_view rest = taken->second;
    const std::size_t ids = text.size() - rest.size();
    const bool separated = !rest.empty() && separators.find(rest[0]) != std::string_view::npos;
    // Right after the ids a separator ends the selector, unless it is the colon before a
    // serial number; anything else belongs to it up to the next separator, so that a
    // selector that does not parse is refused whole.
    if (rest.empty() || (separated && !(rest[0] == ':' && rest.size() > 1 && rest[1] != '/'))) {
        return ids;
    }
    return ids + std::min(rest.find_first_of(separators, 1), rest.size());
}

bool Matches(const PortSelector& selector, const PresentPort& port) {
    if (!port.usb) {
        return false;
    }
    const UsbIdentity& usb = *port.usb;
    return usb.vendorId == selector.vendorId && usb.productId == selector.productId &&
           (selector.serialNumber.empty() || usb.serialNumber == selector.serialNumber) &&
           (selector.location.empty() || usb.location == selector.location);
}

ResolvedPort ResolvePortName(std::string_view name, std::span<const PresentPort> present) {
    using Outcome = ResolvedPort::Outcome;
    if (!IsPortSelector(name)) {
        return {Outcome::Found, std::string(name), {}};
    }
    std::string reason;
    const auto selector = ParsePortSelector(name, reason);
    if (!selector) {
        return {Outcome::Bad, {}, reason + "."};
    }
    std::vector<PresentPort> matching;
    std::copy_if(present.begin(), present.end(), std::back_inserter(matching),
                 [&](const PresentPort& port) { return Matches(*selector, port); });
    SortPorts(matching);
    if (matching.size() == 1) {
        return {Outcome::Found, matching.front().device, {}, 1};
    }
    ResolvedPort resolved;
    resolved.matched = matching.size();
    if (matching.empty()) {
        resolved.outcome = Outcome::NoMatch;
        resolved.problem = "no port matches " + std::string(name) + ".";
        std::vector<PresentPort> all(present.begin(), present.end());
        SortPorts(all);
        resolved.problem += all.empty() ? " No serial port is present." : " The ports present:";
        for (const PresentPort& port : all) {
            resolved.problem += "\n  " + Listed(port, present);
        }
        return resolved;
    }
    resolved.outcome = Outcome::Several;
    resolved.problem = std::to_string(matching.size()) + " ports match " + std::string(name) + ":";
    for (const PresentPort& port : matching) {
        resolved.problem += "\n  " + Listed(port, present);
    }
    resolved.problem +=
        "\nName one of them by its serial number (usb:VID:PID:SERIAL), its location "
        "(usb:VID:PID@LOCATION) or its device.";
    return resolved;
}

std::string DescribePort(std::string_view name, std::span<const PresentPort> present) {
    std::string text(name);
    if (!IsPortSelector(name)) {
        const PresentPort* port = FindPresentPort(name, present);
        const std::string summary = port != nullptr ? PortSummary(*port) : std::string();
        return summary.empty() ? text : text + "\n" + summary;
    }
    const ResolvedPort resolved = ResolvePortName(name, present);
    switch (resolved.outcome) {
        case ResolvedPort::Outcome::Found: {
            const std::string summary = PortSummary(*FindPresentPort(resolved.device, present));
            return text + "\n" + resolved.device + (summary.empty() ? "" : ": " + summary);
        }
        case ResolvedPort::Outcome::NoMatch:
            return text + "\nno port matches it";
        case ResolvedPort::Outcome::Several:
            return text + "\n" + std::to_string(resolved.matched) + " ports match it";
        case ResolvedPort::Outcome::Bad:
            break;
    }
    return text + "\nno port selector";
}

std::error_code make_error_code(SelectorError error) {
    static const SelectorCategory category;
    return {static_cast<int>(error), category};
}

}  // namespace glassbench::serial
