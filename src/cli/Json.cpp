#include "cli/Json.h"

namespace glassbench::cli {

JsonObject& JsonObject::Raw(std::string_view key, std::string_view value) {
    if (!body_.empty()) {
        body_ += ',';
    }
    body_ += JsonString(key);
    body_ += ':';
    body_ += value;
    return *this;
}

JsonObject& JsonObject::String(std::string_view key, std::string_view value) {
    return Raw(key, JsonString(value));
}

JsonObject& JsonObject::Number(std::string_view key, long long value) {
    return Raw(key, std::to_string(value));
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
    return Raw(key, value ? "true" : "false");
}

JsonObject& JsonObject::Null(std::string_view key) {
    return Raw(key, "null");
}

JsonObject& JsonObject::Strings(std::string_view key, const std::vector<std::string>& values) {
    std::string list = "[";
    for (const auto& value : values) {
        list += (list.size() > 1 ? "," : "") + JsonString(value);
    }
    return Raw(key, list + "]");
}

JsonObject& JsonObject::Members(const JsonObject& other) {
    if (!other.body_.empty()) {
        body_ += (body_.empty() ? "" : ",") + other.body_;
    }
    return *this;
}

}  // namespace glassbench::cli
