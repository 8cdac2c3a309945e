#pragma once

#include "onboarding/FirstRunDemoPhase.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// A small decorative picture of Focus: three stylised windows, the middle one focused. Dimmed,
// the two behind fade to 35 % while the focused one gets an accent border and glow. It shows
// `targetPhase`, moving there with a slow ease a moment after it appears or the target changes.
// Hidden from screen readers; takes no input.
struct FirstRunDemoVisual {
    static constexpr double kWidth = 360;
    static constexpr double kHeight = 130;
    static constexpr double kDelay = 0.3;
    static constexpr double kDuration = 0.56;

    FirstRunDemoPhase targetPhase = FirstRunDemoPhase::undimmed;

    struct State {
        // What is drawn.
        Observable<FirstRunDemoPhase> presentedPhase{FirstRunDemoPhase::undimmed};
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui
