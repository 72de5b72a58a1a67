#include "TextMatch.h"

#include <regex>

namespace glassbench::testing {
namespace {

std::vector<std::string> Groups(const std::smatch& match) {
    std::vector<std::string> groups;
    for (const auto& group : match) {
        groups.push_back(group.str());
    }
    return groups;
}

}  // namespace

std::optional<std::vector<std::string>> Match(const std::string& text, const std::string& pattern) {
    std::smatch match;
    if (!std::regex_match(text, match, std::regex(pattern))) {
        return std::nullopt;
    }
    return Groups(match);
}

std::optional<std::vector<std::string>> Search(const std::string& text,
                                               const std::string& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern))) {
        return std::nullopt;
    }
    return Groups(match);
}

std::vector<std::string> FirstGroups(const std::string& text, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
        found.push_back((*it)[1].str());
    }
    return found;
}

}  // namespace glassbench::testing
