#include "controls/trimmedName.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace talvori {

namespace {

bool isTrimmed(UChar32 character) {
    return character == '\t' || (character >= 0 && u_charType(character) == U_SPACE_SEPARATOR);
}

}  // namespace

std::string trimmedName(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t start = 0;
    while (start < length) {
        std::int32_t next = start;
        UChar32 character = 0;
        U8_NEXT(bytes, next, length, character);
        if (!isTrimmed(character)) break;
        start = next;
    }
    std::int32_t end = length;
    while (end > start) {
        std::int32_t previous = end;
        UChar32 character = 0;
        U8_PREV(bytes, start, previous, character);
        if (!isTrimmed(character)) break;
        end = previous;
    }
    return std::string(
        text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

}  // namespace talvori
