#include "platform/core/Json.hpp"

#include <cmath>

namespace talvori {

std::optional<JsonValue> Json::parse(std::string_view text) {
    JsonValue value = JsonValue::parse(text, nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

std::optional<std::string> Json::dump(const JsonValue& value) {
    if (!isFinite(value)) return std::nullopt;
    // Invalid UTF-8 in a string is replaced rather than thrown on.
    return value.dump(-1, ' ', false, JsonValue::error_handler_t::replace);
}

JsonValue Json::object(std::size_t capacity) {
    JsonValue value = JsonValue::object();
    value.get_ref<JsonValue::object_t&>().reserve(capacity);
    return value;
}

void Json::append(JsonValue& object, std::string key, JsonValue value) {
    object.get_ref<JsonValue::object_t&>().emplace_back(std::move(key), std::move(value));
}

bool Json::isNestedDeeperThan(const JsonValue& value, std::size_t levels) {
    if (!value.is_structured()) return false;
    if (levels == 0) return true;
    for (const auto& element : value) {
        if (isNestedDeeperThan(element, levels - 1)) return true;
    }
    return false;
}

bool Json::isFinite(const JsonValue& value) {
    switch (value.type()) {
        case JsonValue::value_t::number_float:
            return std::isfinite(value.get<double>());
        case JsonValue::value_t::array:
        case JsonValue::value_t::object:
            for (const auto& element : value) {
                if (!isFinite(element)) return false;
            }
            return true;
        default:
            return true;
    }
}

}  // namespace talvori
