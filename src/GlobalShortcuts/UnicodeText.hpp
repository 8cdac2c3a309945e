#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace GlobalShortcuts {

// The few Unicode rules the library's texts need, on UTF-8 strings.
struct UnicodeText {
    // Whether `text` is exactly one user-perceived character (one extended grapheme cluster).
    static bool isSingleGrapheme(const std::string& text);
    // The first letter of each word upper case (title case), the rest lower case: "ß" gives "Ss".
    static std::string capitalized(const std::string& text);
    static std::string lowercased(const std::string& text);
    // The text of one Unicode scalar; absent above U+10FFFF, for surrogates and negative values.
    static std::optional<std::string> scalarText(std::int64_t value);
};

}  // namespace GlobalShortcuts
