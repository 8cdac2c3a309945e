#include "controlpanel/ColorCode.hpp"

#include <algorithm>
#include <cctype>

namespace talvori {

namespace {

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
}

}  // namespace

bool ColorCode::isValid(std::string_view text) {
    return text.size() == 6 && std::all_of(text.begin(), text.end(), isHexDigit);
}

std::string ColorCode::uppercased(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

std::string ColorCode::of(const CodableColor& color) {
    return CodableColor::opaqueHex({color.red, color.green, color.blue, 1})->first;
}

std::optional<Color> ColorCode::color(std::string_view code) {
    if (!isValid(code)) return std::nullopt;
    auto channel = [&](std::size_t at) {
        return (hexValue(code[at]) * 16 + hexValue(code[at + 1])) / 255.0;
    };
    return Color{channel(0), channel(2), channel(4), 1};
}

}  // namespace talvori
