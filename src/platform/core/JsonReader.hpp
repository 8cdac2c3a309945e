#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/core/Json.hpp"
#include "platform/core/UUID.hpp"

namespace talvori {

// Decodes one JSON value into a type, strictly: a wrong type, a number out of range or a malformed
// identifier is a failure (absent), never a guess. Record types join in with a static
// `std::optional<T> fromJson(const JsonValue&)`.
template <class T>
std::optional<T> decodeJson(const JsonValue& value);

// Reads the members of one JSON object and remembers the first failure, so that a record decoder
// reads every field and then checks ok() once.
class JsonReader {
  public:
    explicit JsonReader(const JsonValue& object);

    // The member under `key`; a missing or undecodable member is a failure.
    template <class T>
    T required(std::string_view key) {
        const JsonValue* member = find(key);
        if (!member || member->is_null()) return fail<T>(key, "missing");
        if (auto decoded = decodeJson<T>(*member)) return std::move(*decoded);
        return fail<T>(key, "wrong type");
    }
    // The member under `key`; missing or null reads as absent, a wrong type is a failure.
    template <class T>
    std::optional<T> optional(std::string_view key) {
        const JsonValue* member = find(key);
        if (!member || member->is_null()) return std::nullopt;
        if (auto decoded = decodeJson<T>(*member)) return decoded;
        fail<T>(key, "wrong type");
        return std::nullopt;
    }

    bool has(std::string_view key) const { return find(key) != nullptr; }
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

  private:
    const JsonValue* find(std::string_view key) const;
    template <class T>
    T fail(std::string_view key, const char* why) {
        if (error_.empty()) error_ = std::string(key) + ": " + why;
        return T{};
    }

    const JsonValue* object_;
    std::string error_;
};

std::optional<bool> decodeJsonBool(const JsonValue& value);
std::optional<double> decodeJsonDouble(const JsonValue& value);
std::optional<std::int64_t> decodeJsonInteger(const JsonValue& value, std::int64_t minimum,
                                              std::int64_t maximum);
std::optional<std::string> decodeJsonString(const JsonValue& value);

template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {};

template <class T>
std::optional<T> decodeJson(const JsonValue& value) {
    if constexpr (std::is_same_v<T, bool>) {
        return decodeJsonBool(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        auto number = decodeJsonDouble(value);
        if (!number) return std::nullopt;
        return static_cast<T>(*number);
    } else if constexpr (std::is_integral_v<T>) {
        auto number = decodeJsonInteger(value, std::numeric_limits<T>::min(),
                                        static_cast<std::int64_t>(std::min<std::uint64_t>(
                                            std::numeric_limits<T>::max(), INT64_MAX)));
        if (!number) return std::nullopt;
        return static_cast<T>(*number);
    } else if constexpr (std::is_same_v<T, std::string>) {
        return decodeJsonString(value);
    } else if constexpr (std::is_same_v<T, UUID>) {
        auto text = decodeJsonString(value);
        if (!text) return std::nullopt;
        return UUID::parse(*text);
    } else if constexpr (std::is_same_v<T, JsonValue>) {
        return value;
    } else if constexpr (IsVector<T>::value) {
        if (!value.is_array()) return std::nullopt;
        T elements;
        elements.reserve(value.size());
        for (const auto& element : value) {
            auto decoded = decodeJson<typename T::value_type>(element);
            if (!decoded) return std::nullopt;
            elements.push_back(std::move(*decoded));
        }
        return elements;
    } else {
        return T::fromJson(value);
    }
}

}  // namespace talvori
