#pragma once

#include <cstdint>
#include <functional>

namespace talvori {

// How the first run reached its last page: with the Accessibility permission obtained, or after
// the user chose to go on without it.
enum class FinishVariant : std::uint8_t { granted, skipped };

}  // namespace talvori

template <>
struct std::hash<talvori::FinishVariant> {
    std::size_t operator()(talvori::FinishVariant variant) const noexcept {
        return std::hash<std::uint8_t>{}(static_cast<std::uint8_t>(variant));
    }
};
