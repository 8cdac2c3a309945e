#pragma once

#include "covers/RawTextEnum.hpp"

namespace talvori {

// The line icons of the panels, each drawn from the image asset its raw value names. The status
// item's own artwork, "icon-menubar", is a separate asset and deliberately no icon of this set.
class LucideIcon : public RawTextEnum<LucideIcon, 18> {
  public:
    enum Case : std::uint8_t {
        layers,
        settings,
        plus,
        bookmark,
        pencil,
        trash,
        eye,
        eyeOff,
        checkCircle,
        window,
        x,
        copy,
        pointerClick,
        lock,
        monitor,
        move,
        resize,
        power,
    };
    static constexpr std::array<std::string_view, 18> rawValues{
        "icon-layers", "icon-settings", "icon-plus",          "icon-bookmark",     "icon-pencil",
        "icon-trash",  "icon-eye",      "icon-eye-off",       "icon-check-circle", "icon-window",
        "icon-x",      "icon-copy",     "icon-pointer-click", "icon-lock",         "icon-monitor",
        "icon-move",   "icon-resize",   "icon-power"};

    constexpr LucideIcon(Case value = layers) : RawTextEnum(value) {}
    constexpr operator Case() const { return static_cast<Case>(index()); }
};

}  // namespace talvori
