// A strict reader of one JSON text, for tests of the tool's --json output: it takes exactly
// what RFC 8259 allows (no trailing commas, no raw control characters in strings, nothing
// after the value) and gives the value as a tree, or nullopt.
#pragma once

#include <cctype>
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
    std::string text;  // a string's value; a \u escape is kept as written
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
        JsonReader reader(text);
        JsonValue value;
        if (!reader.Value(value, 0) || (reader.Blanks(), reader.at_ != text.size())) {
            return std::nullopt;
        }
        return value;
    }

  private:
    explicit JsonReader(std::string_view text) : s_(text) {}

    void Blanks() {
        while (at_ < s_.size() &&
               (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) {
            ++at_;
        }
    }
    bool Take(char c) {
        Blanks();
        if (at_ < s_.size() && s_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (s_.substr(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }
    bool Value(JsonValue& v, int depth) {
        Blanks();
        if (at_ >= s_.size() || depth > 64) {
            return false;
        }
        using T = JsonValue::Type;
        const char c = s_[at_];
        if (c == '{') {
            v.type = T::Object;
            ++at_;
            if (Take('}')) {
                return true;
            }
            do {
                std::string key;
                JsonValue member;
                if (!(Blanks(), String(key)) || !Take(':') || !Value(member, depth + 1)) {
                    return false;
                }
                v.members.emplace_back(std::move(key), std::move(member));
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            v.type = T::Array;
            ++at_;
            if (Take(']')) {
                return true;
            }
            do {
                v.items.emplace_back();
                if (!Value(v.items.back(), depth + 1)) {
                    return false;
                }
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            v.type = T::String;
            return String(v.text);
        }
        if (Word("true") || Word("false")) {
            v.type = T::Bool;
            v.boolean = c == 't';
            return true;
        }
        if (Word("null")) {
            return true;
        }
        v.type = T::Number;
        return Number(v.number);
    }
    bool Number(double& out) {
        const std::size_t start = at_;
        const auto digits = [&] {
            const std::size_t from = at_;
            while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) {
                ++at_;
            }
            return at_ - from;
        };
        Word("-");
        const bool zero = at_ < s_.size() && s_[at_] == '0';
        const std::size_t whole = digits();
        if (whole == 0 || (zero && whole > 1)) {
            return false;
        }
        if (Word(".") && digits() == 0) {
            return false;
        }
        if (Word("e") || Word("E")) {
            if (!Word("+")) {
                Word("-");
            }
            if (digits() == 0) {
                return false;
            }
        }
        out = std::strtod(std::string(s_.substr(start, at_ - start)).c_str(), nullptr);
        return true;
    }
    bool String(std::string& out) {
        if (!Word("\"")) {
            return false;
        }
        while (at_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (at_ >= s_.size()) {
                return false;
            }
            const char e = s_[at_++];
            static constexpr std::string_view kEscapes = "\"\"\\\\//b\bf\fn\nr\rt\t";
            const auto i = kEscapes.find(e);
            if (e != 'u' && (i == std::string_view::npos || i % 2 != 0)) {
                return false;
            }
            if (e != 'u') {
                out += kEscapes[i + 1];
                continue;
            }
            // The value of a \u escape is not kept: "\u" and its four digits stand for it.
            const std::string_view digits = s_.substr(at_, 4);
            if (digits.size() != 4 ||
                digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
                return false;
            }
            out += "\\u";
            out += digits;
            at_ += 4;
        }
        return false;
    }

    std::string_view s_;
    std::size_t at_ = 0;
};

// Every line of `text` read as one JSON object; nullopt if any line is not one.
inline std::optional<std::vector<JsonValue>> ParseJsonLines(const std::string& text) {
    std::vector<JsonValue> objects;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            return std::nullopt;  // every object ends its line
        }
        auto value = JsonReader::Parse(std::string_view(text).substr(start, end - start));
        if (!value || value->type != JsonValue::Type::Object) {
            return std::nullopt;
        }
        objects.push_back(std::move(*value));
        start = end + 1;
    }
    return objects;
}

}  // namespace glassbench::testing
