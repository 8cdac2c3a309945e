#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace talvori {

// A random (version 4) identifier. Its text is 36 upper-case characters, 8-4-4-4-12.
class UUID {
  public:
    using Bytes = std::array<std::uint8_t, 16>;

    // The nil identifier (all zero), so that records holding an identifier can be default-made
    // (a decoder that fails part-way returns one); real identifiers come from random() or parse().
    UUID() = default;

    static UUID random();
    // Accepts either case; anything but 8-4-4-4-12 hexadecimal digits is refused.
    static std::optional<UUID> parse(std::string_view text);

    std::string uuidString() const;
    const Bytes& bytes() const { return bytes_; }

    auto operator<=>(const UUID&) const = default;

  private:
    explicit UUID(const Bytes& bytes) : bytes_(bytes) {}
    Bytes bytes_{};
};

}  // namespace talvori

template <>
struct std::hash<talvori::UUID> {
    std::size_t operator()(const talvori::UUID& uuid) const noexcept;
};
