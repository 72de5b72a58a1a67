// Regular expressions over what programs print, for the tests' checks. They are compiled here
// once: std::regex's templates take seconds to compile in every file that names them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace glassbench::testing {

// The whole match (first) and its groups, or nothing: `pattern` against the whole of `text`
// (Match), or its first occurrence in it (Search).
std::optional<std::vector<std::string>> Match(const std::string& text, const std::string& pattern);
std::optional<std::vector<std::string>> Search(const std::string& text, const std::string& pattern);

inline bool Matches(const std::string& text, const std::string& pattern) {
    return Match(text, pattern).has_value();
}
inline bool Finds(const std::string& text, const std::string& pattern) {
    return Search(text, pattern).has_value();
}

// The first group of every occurrence of `pattern` in `text`, in order.
std::vector<std::string> FirstGroups(const std::string& text, const std::string& pattern);

}  // namespace glassbench::testing
