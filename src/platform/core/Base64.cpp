#include "platform/core/Base64.hpp"

namespace talvori {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char character) {
    if (character >= 'A' && character <= 'Z') return character - 'A';
    if (character >= 'a' && character <= 'z') return character - 'a' + 26;
    if (character >= '0' && character <= '9') return character - '0' + 52;
    if (character == '+') return 62;
    if (character == '/') return 63;
    return -1;
}
}  // namespace

std::string Base64::encode(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const std::uint32_t chunk = (std::uint32_t{bytes[i]} << 16) |
                                    (left > 1 ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                    (left > 2 ? std::uint32_t{bytes[i + 2]} : 0);
        text.push_back(kAlphabet[(chunk >> 18) & 63]);
        text.push_back(kAlphabet[(chunk >> 12) & 63]);
        text.push_back(left > 1 ? kAlphabet[(chunk >> 6) & 63] : '=');
        text.push_back(left > 2 ? kAlphabet[chunk & 63] : '=');
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> Base64::decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int padding = (text[i + 3] == '=') + (text[i + 2] == '=');
        if (padding && !last) return std::nullopt;
        if (text[i + 2] == '=' && text[i + 3] != '=') return std::nullopt;
        std::uint32_t chunk = 0;
        for (int j = 0; j < 4 - padding; ++j) {
            const int value = sextet(text[i + j]);
            if (value < 0) return std::nullopt;
            chunk |= static_cast<std::uint32_t>(value) << (18 - 6 * j);
        }
        bytes.push_back(static_cast<std::uint8_t>(chunk >> 16));
        if (padding < 2) bytes.push_back(static_cast<std::uint8_t>(chunk >> 8));
        if (padding < 1) bytes.push_back(static_cast<std::uint8_t>(chunk));
    }
    return bytes;
}

}  // namespace talvori
