#pragma once

#include <cstdint>

namespace talvori {

// What kind of control an accessibility element is, beyond its label: screen readers say it.
enum class AccessibilityTrait : std::uint8_t {
    none = 0,
    isButton = 1,
    isSelected = 2,
    isLink = 4,
    isHeader = 8,
    // A switch: its state is on or off (AccessibilityNode::isOn).
    isToggle = 16,
    // One tab of a set that switches pages; on the set itself, the tab bar.
    isTab = 32,
    // One choice of a group, chosen or not (AccessibilityNode::isOn).
    isRadio = 64
};
inline constexpr AccessibilityTrait operator|(AccessibilityTrait a, AccessibilityTrait b) {
    return static_cast<AccessibilityTrait>(static_cast<std::uint8_t>(a) |
                                           static_cast<std::uint8_t>(b));
}
inline constexpr bool contains(AccessibilityTrait set, AccessibilityTrait trait) {
    return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(trait)) != 0;
}

}  // namespace talvori
