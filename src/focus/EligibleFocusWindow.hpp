#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace talvori {

// Another application's normal, visible window that can keep focus: the only kind of window the
// dimming panel may sit below or fade over.
struct EligibleFocusWindow {
    std::uint32_t windowID = 0;
    std::int32_t ownerPID = 0;
    std::optional<std::string> appName;

    bool operator==(const EligibleFocusWindow&) const = default;
};

}  // namespace talvori
