#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvori {

struct Base64 {
    static std::string encode(const std::vector<std::uint8_t>& bytes);
    // Strict: padding required, no whitespace, no foreign characters.
    static std::optional<std::vector<std::uint8_t>> decode(std::string_view text);
};

}  // namespace talvori
