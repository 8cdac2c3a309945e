#pragma once

#include <functional>
#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// The first-run window's call to action: a large button with its title verbatim. It is disabled
// when `isDisabled` or its surroundings say so, and answers to Return only when asked to. It takes
// the keyboard focus as it appears, so that the window opens, and each page shows, with its main
// button focused and a reader saying it.
struct OnboardingCTA {
    std::string title;
    bool isDisabled = false;
    bool triggersDefaultAction = false;
    std::function<void()> action;

    struct State {
        Observable<bool> isFocused{false};
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui
