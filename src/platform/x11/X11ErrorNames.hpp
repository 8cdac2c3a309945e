#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace talvori::x11 {

// Names for X errors and the requests that caused them, so that a logged error says what failed
// (Debian 12 has no library for this).
struct X11ErrorNames {
    // The name of a core error code, or "error N".
    static std::string error(std::uint8_t code);
    // The request's name: core requests by name, extension requests as "EXTENSION request N"
    // from the major opcodes in `extensions`.
    static std::string request(std::uint8_t major, std::uint16_t minor,
                               const std::map<std::uint8_t, std::string>& extensions);
};

}  // namespace talvori::x11
