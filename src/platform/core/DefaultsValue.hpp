#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/core/JsonValue.hpp"

namespace talvori {

using Data = std::vector<std::uint8_t>;

// One value in the user-defaults store: bool, integer, double, string, data, array or dictionary.
class DefaultsValue {
  public:
    using Array = std::vector<DefaultsValue>;
    using Dictionary = std::map<std::string, DefaultsValue>;
    using Storage = std::variant<bool, std::int64_t, double, std::string, Data, Array, Dictionary>;

    DefaultsValue(bool value) : storage_(value) {}
    DefaultsValue(int value) : storage_(std::int64_t{value}) {}
    DefaultsValue(std::int64_t value) : storage_(value) {}
    DefaultsValue(double value) : storage_(value) {}
    DefaultsValue(const char* value) : storage_(std::string(value)) {}
    DefaultsValue(std::string value) : storage_(std::move(value)) {}
    DefaultsValue(Data value) : storage_(std::move(value)) {}
    DefaultsValue(Array value) : storage_(std::move(value)) {}
    DefaultsValue(Dictionary value) : storage_(std::move(value)) {}

    template <class T>
    const T* get() const {
        return std::get_if<T>(&storage_);
    }
    const Storage& storage() const { return storage_; }
    bool operator==(const DefaultsValue&) const = default;

    // The file form: scalars as themselves, containers and data tagged so that a string and a
    // data blob, or a dictionary and a tag, can never be mistaken for one another.
    JsonValue toJson() const;
    static std::optional<DefaultsValue> fromJson(const JsonValue& json);

    // Containers nested deeper than this do not decode: no setting comes near it, and following a
    // damaged file's nesting down would exhaust the stack.
    static constexpr int kMaximumDepth = 256;

  private:
    static std::optional<DefaultsValue> fromJson(const JsonValue& json, int depth);

    Storage storage_;
};

}  // namespace talvori
