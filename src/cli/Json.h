// JSON output for the commands' --json modes: one object per line, built field by field, with
// no library behind it.
//
// JsonString quotes any byte string. The quote, the backslash and every control character are
// escaped; well-formed UTF-8 passes through unchanged; a byte that belongs to no well-formed
// UTF-8 sequence (a device path or a script name may be any bytes) becomes U+FFFD. So whatever
// goes in, the output is valid JSON in valid UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glassbench::cli {

std::string JsonString(std::string_view text);

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
