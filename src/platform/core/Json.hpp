#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace talvori {

// JSON documents keep their keys in insertion order, so records are written with their keys in
// the order their coding gives.
using JsonValue = nlohmann::ordered_json;

struct Json {
    // Parses strictly; nothing is thrown: bad text reads as absent.
    static std::optional<JsonValue> parse(std::string_view text);
    // Compact text whose doubles read back bit for bit; absent when the value holds a number that
    // is not finite (which JSON cannot carry).
    static std::optional<std::string> dump(const JsonValue& value);
    static bool isFinite(const JsonValue& value);
    // An empty object with room for `capacity` members. Records written key by key use it: the
    // members of a growing object are copied, keys and all, each time it outgrows its room.
    static JsonValue object(std::size_t capacity);

    // Writes `value` under `key` when present; an absent optional leaves the key out (never null).
    template <class T>
    static void setOptional(JsonValue& object, const char* key, const std::optional<T>& value) {
        if (value) object[key] = *value;
    }
};

}  // namespace talvori
