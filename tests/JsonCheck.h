// A strict reader of JSON text for tests of the tool's --json output: it takes only what
// RFC 8259 allows (no trailing commas, no raw control characters in strings, nothing after the
// value) and gives the value as a tree.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glassbench::testing {

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;  // a string's value; a \u escape stays as written
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member `key` of an object, or null.
    const JsonValue* Get(std::string_view key) const {
        for (const auto& [name, value] : members) {
            if (name == key) {
                return &value;
            }
        }
        return nullptr;
    }
};

class JsonReader {
  public:
    static std::optional<JsonValue> Parse(std::string_view text) {
        JsonReader r(text);
        JsonValue value;
        if (!r.Value(value, 0) || !r.Skip() || r.at_ != text.size()) {
            return std::nullopt;
        }
        return value;
    }

  private:
    using T = JsonValue::Type;

    explicit JsonReader(std::string_view text) : s_(text) {}

    bool Skip() {
        at_ = std::min(s_.find_first_not_of(" \t\r\n", at_), s_.size());
        return true;
    }
    bool Take(std::string_view word) {
        Skip();
        if (s_.substr(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }
    std::size_t Digits() {
        const std::size_t from = at_;
        at_ = std::min(s_.find_first_not_of("0123456789", at_), s_.size());
        return at_ - from;
    }
    template <class Item>
    bool List(char close, Item item) {
        if (Take(std::string_view(&close, 1))) {
            return true;
        }
        do {
            if (!item()) {
                return false;
            }
        } while (Take(","));
        return Take(std::string_view(&close, 1));
    }
    bool Value(JsonValue& v, int depth) {
        if (depth > 64) {
            return false;
        }
        if (Take("{")) {
            v.type = T::Object;
            return List('}', [&] {
                auto& [key, member] = v.members.emplace_back();
                return Skip() && String(key) && Take(":") && Value(member, depth + 1);
            });
        }
        if (Take("[")) {
            v.type = T::Array;
            return List(']', [&] { return Value(v.items.emplace_back(), depth + 1); });
        }
        if (at_ < s_.size() && s_[at_] == '"') {
            v.type = T::String;
            return String(v.text);
        }
        for (const bool b : {true, false}) {
            if (Take(b ? "true" : "false")) {
                v.type = T::Bool;
                v.boolean = b;
                return true;
            }
        }
        if (Take("null")) {
            return true;
        }
        // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
        v.type = T::Number;
        const std::size_t start = at_;
        at_ += s_.substr(at_, 1) == "-" ? 1 : 0;
        const bool zero = s_.substr(at_, 1) == "0";
        const std::size_t whole = Digits();
        if (whole == 0 || (zero && whole > 1) ||
            (s_.substr(at_, 1) == "." && (++at_, Digits() == 0))) {
            return false;
        }
        if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
            at_ += s_.substr(at_ + 1, 1).find_first_of("+-") == 0 ? 2 : 1;
            if (Digits() == 0) {
                return false;
            }
        }
        v.number = std::strtod(std::string(s_.substr(start, at_ - start)).c_str(), nullptr);
        return true;
    }
    bool String(std::string& out) {
        if (s_.substr(at_, 1) != "\"") {
            return false;
        }
        for (++at_; at_ < s_.size();) {
            const auto c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20 || (c == '\\' && at_ == s_.size())) {
                return false;
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            static constexpr std::string_view kEscapes = "\"\"\\\\//b\bf\fn\nr\rt\t";
            const char e = s_[at_++];
            const auto i = kEscapes.find(e);
            if (e == 'u') {
                const std::string_view digits = s_.substr(at_, 4);
                if (digits.size() != 4 ||
                    digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
                    return false;
                }
                out += "\\u";
                out += digits;
                at_ += 4;
            } else if (i != std::string_view::npos && i % 2 == 0) {
                out += kEscapes[i + 1];
            } else {
                return false;
            }
        }
        return false;
    }

    std::string_view s_;
    std::size_t at_ = 0;
};

// Every line of `text` read as one JSON object; nullopt if any line is not one.
inline std::optional<std::vector<JsonValue>> ParseJsonLines(const std::string& text) {
    std::vector<JsonValue> objects;
    for (std::size_t start = 0, end = 0; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        auto value = end == std::string::npos
                         ? std::nullopt
                         : JsonReader::Parse(std::string_view(text).substr(start, end - start));
        if (!value || value->type != JsonValue::Type::Object) {
            return std::nullopt;
        }
        objects.push_back(std::move(*value));
    }
    return objects;
}

}  // namespace glassbench::testing
