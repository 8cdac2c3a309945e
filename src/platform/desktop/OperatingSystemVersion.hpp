#pragma once

#include <compare>

namespace talvori {

// The version of the system the program runs on, for code that behaves differently on older
// systems. The desktops this program runs on have no such older behaviour to work around, so the
// version is fixed at the newest the program knows of (27.0): every version test takes its newest
// branch, and the branches for older systems are not built.
struct OperatingSystemVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;

    auto operator<=>(const OperatingSystemVersion&) const = default;

    static constexpr OperatingSystemVersion current() { return {27, 0, 0}; }
    static constexpr bool isOperatingSystemAtLeast(OperatingSystemVersion version) {
        return current() >= version;
    }
};

}  // namespace talvori
