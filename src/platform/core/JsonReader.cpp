#include "platform/core/JsonReader.hpp"

#include <cmath>

namespace talvori {

JsonReader::JsonReader(const JsonValue& object) : object_(&object) {
    if (!object.is_object()) error_ = "not an object";
}

const JsonValue* JsonReader::find(std::string_view key) const {
    if (!object_->is_object()) return nullptr;
    const auto found = object_->find(key);
    return found == object_->end() ? nullptr : &*found;
}

std::optional<bool> decodeJsonBool(const JsonValue& value) {
    if (!value.is_boolean()) return std::nullopt;
    return value.get<bool>();
}

std::optional<double> decodeJsonDouble(const JsonValue& value) {
    if (!value.is_number()) return std::nullopt;
    const double number = value.get<double>();
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

std::optional<std::int64_t> decodeJsonInteger(const JsonValue& value, std::int64_t minimum,
                                              std::int64_t maximum) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(maximum)) return std::nullopt;
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        if (number < minimum || number > maximum) return std::nullopt;
        return number;
    }
    if (value.is_number_float()) {
        // 3.0 is an integer; 3.5, NaN and out-of-range values are not.
        const double number = value.get<double>();
        if (!std::isfinite(number) || number != std::trunc(number)) return std::nullopt;
        if (number < static_cast<double>(minimum) || number >= static_cast<double>(maximum) + 1.0) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(number);
    }
    return std::nullopt;
}

std::optional<std::string> decodeJsonString(const JsonValue& value) {
    if (!value.is_string()) return std::nullopt;
    return value.get<std::string>();
}

}  // namespace talvori
