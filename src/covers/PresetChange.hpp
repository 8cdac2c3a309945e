#pragma once

#include <string>

namespace talvori {

// One line of the difference between a saved layout and the open covers.
struct PresetChange {
    // The cover's name, or "Overlay" when it has none.
    std::string overlayName;
    std::string description;

    bool operator==(const PresetChange&) const = default;
};

}  // namespace talvori
