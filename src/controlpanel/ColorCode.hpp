#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "covers/CodableColor.hpp"
#include "platform/desktop/Color.hpp"

namespace talvori {

// A cover colour written as six upper-case hexadecimal digits, red, green and blue ("FF7F50"), as
// the colour field, the favourites and their store write it.
struct ColorCode {
    // Exactly six characters, each a hexadecimal digit of either case.
    static bool isValid(std::string_view text);
    // ASCII letters upper-cased; every other byte kept, so UTF-8 text passes through unharmed.
    static std::string uppercased(std::string_view text);
    // The code of a colour: each channel clamped to at most 1, taken to the nearest of 256 steps
    // (halves away from zero), 0 for a channel of 0 or less; alpha takes no part.
    static std::string of(const CodableColor& color);
    // The opaque colour a valid code stands for; absent for any other text.
    static std::optional<Color> color(std::string_view code);
};

}  // namespace talvori
