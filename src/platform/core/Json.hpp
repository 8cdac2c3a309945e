#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/JsonValue.hpp"

namespace talvori {

struct Json {
    // Arrays and objects nested deeper than this are no document of ours (the settings file's
    // deepest is about half as deep). Copying, comparing and writing a document recurse into it,
    // so a deeper one, hand-made or damaged, would exhaust the stack.
    static constexpr std::size_t kMaximumNesting = 1000;

    // Parses strictly; nothing is thrown: bad text, or arrays and objects nested deeper than
    // kMaximumNesting, read as absent.
    static std::optional<JsonValue> parse(std::string_view text);
    // What can be saved of a damaged document: the members of its object that were read whole
    // before the damage (none when it is no object).
    static JsonValue wholeMembers(std::string_view text);
    // Compact text whose doubles read back bit for bit; absent when the value holds a number that
    // is not finite (which JSON cannot carry).
    static std::optional<std::string> dump(const JsonValue& value);
    static bool isFinite(const JsonValue& value);
    // Whether arrays and objects nest more than `levels` deep in `value` (a container counts one
    // level). Looks no deeper than that, so it is safe on any document the parser accepts.
    static bool isNestedDeeperThan(const JsonValue& value, std::size_t levels);
    // An empty object with room for `capacity` members. Records written key by key use it: the
    // members of a growing object are copied, keys and all, each time it outgrows its room.
    static JsonValue object(std::size_t capacity);
    // Adds a member to `object` without looking for `key` first: for building objects whose keys
    // are already known to be unique (a map's), where looking would cost a pass over every member
    // added before.
    static void append(JsonValue& object, std::string key, JsonValue value);

    // Writes `value` under `key` when present; an absent optional leaves the key out (never null).
    template <class T>
    static void setOptional(JsonValue& object, const char* key, const std::optional<T>& value) {
        if (value) object[key] = *value;
    }
};

}  // namespace talvori
