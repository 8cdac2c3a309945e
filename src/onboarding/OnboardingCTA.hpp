#pragma once

#include <functional>
#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// The first-run window's call to action: a large button with its title verbatim. It is disabled
// when `isDisabled` or its surroundings say so, and answers to Return only when asked to.
struct OnboardingCTA {
    std::string title;
    bool isDisabled = false;
    bool triggersDefaultAction = false;
    std::function<void()> action;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
