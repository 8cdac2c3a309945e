#pragma once

#include <functional>
#include <string>

#include "controls/LucideIcon.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// A square icon button of the panel's header: the icon brightens under the pointer and the square
// behind it lights up, more so while pressed. The whole square takes clicks.
struct HeaderIconButton {
    static constexpr double kSide = 28;
    static constexpr double kIconSide = 16;

    LucideIcon icon;
    std::string label;
    std::function<void()> action;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
