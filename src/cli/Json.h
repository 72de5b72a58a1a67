// JSON output for the commands' --json modes: one object per line, built member by member,
// with no library behind it. Strings are quoted by JsonString (TextEscape.h), so the output is
// valid JSON in valid UTF-8 whatever the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/TextEscape.h"

namespace glassbench::cli {

// An object's members in the order they are added; Text() is "{...}".
class JsonObject {
  public:
    JsonObject& String(std::string_view key, std::string_view value);
    JsonObject& Number(std::string_view key, long long value);
    // `value` is already JSON: a number with a fraction, an object, an array.
    JsonObject& Raw(std::string_view key, std::string_view value);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Null(std::string_view key);
    JsonObject& Strings(std::string_view key, const std::vector<std::string>& values);
    // The other object's members, after this one's.
    JsonObject& Members(const JsonObject& other);

    std::string Text() const { return "{" + body_ + "}"; }

  private:
    std::string body_;
};

}  // namespace glassbench::cli
