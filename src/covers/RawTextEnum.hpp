#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/JsonValue.hpp"

namespace talvori {

// An enumeration backed by its raw text. The derived type declares
//     enum Case : std::uint8_t { first, second };
//     static constexpr std::array<std::string_view, 2> rawValues{"first", "second"};
// with a constructor from Case and a conversion back to it, so that it reads and switches like a
// plain enumeration. Cases are listed in declaration order; the value codes and hashes as its raw
// text alone, and any other text fails to decode.
template <class Derived, std::size_t N>
class RawTextEnum {
  public:
    static constexpr std::size_t caseCount = N;

    std::string_view rawValue() const { return Derived::rawValues[index_]; }

    static std::optional<Derived> fromRawValue(std::string_view text) {
        for (std::size_t index = 0; index < N; ++index) {
            if (Derived::rawValues[index] == text) return fromIndex(index);
        }
        return std::nullopt;
    }

    static std::array<Derived, N> allCases() {
        std::array<Derived, N> cases{};
        for (std::size_t index = 0; index < N; ++index) cases[index] = fromIndex(index);
        return cases;
    }

    // Templates, so that only the code that codes a value needs the whole JSON library.
    template <class Json = JsonValue>
    Json toJson() const {
        return Json(std::string(rawValue()));
    }
    template <class Json = JsonValue>
    static std::optional<Derived> fromJson(const Json& json) {
        if (!json.is_string()) return std::nullopt;
        return fromRawValue(json.template get_ref<const std::string&>());
    }

  protected:
    constexpr explicit RawTextEnum(std::size_t index) : index_(static_cast<std::uint8_t>(index)) {}
    constexpr std::size_t index() const { return index_; }

  private:
    static Derived fromIndex(std::size_t index) {
        return Derived(static_cast<typename Derived::Case>(index));
    }

    std::uint8_t index_;
};

template <class T>
concept RawTextEnumeration = requires(const T& value) {
    { value.rawValue() } -> std::same_as<std::string_view>;
    T::caseCount;
};

}  // namespace talvori

// The hash of a raw-text enumeration is the hash of its raw text.
template <talvori::RawTextEnumeration T>
struct std::hash<T> {
    std::size_t operator()(const T& value) const noexcept {
        return std::hash<std::string_view>{}(value.rawValue());
    }
};
