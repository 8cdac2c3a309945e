#pragma once

#include <cstdint>
#include <functional>

#include "onboarding/AccessibilityGrantPhase.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// Obtains the Accessibility permission on its own: pressed once, it opens the desktop's
// Accessibility settings, waits while checking for trust twice a second, offers help once 30
// checks found none, shows a "granted" badge when trust arrives (at once when it is there at the
// press) and calls `onGranted` 0.8 s later, at most once, and never once the control has left
// the screen.
struct AccessibilityGrantControl {
    enum class Style : std::uint8_t { cta, link };

    static constexpr double kPollInterval = 0.5;
    // Checks, not wall time: a late wake-up must not bring the help note early.
    static constexpr std::int64_t kChecksBeforeStuck = 30;
    static constexpr double kGrantedDelay = 0.8;

    Style style = Style::cta;
    std::function<void()> onGranted;

    struct State {
        Observable<AccessibilityGrantPhase> phase{AccessibilityGrantPhase::idle};
        TaskSlot pollTask;
    };

    // The phase after a check that found `trusted`, `checks` checks after the press.
    static AccessibilityGrantPhase nextPhase(AccessibilityGrantPhase current, bool trusted,
                                             std::int64_t checks);

    View body(ViewContext<State>& ctx) const;

  private:
    View phaseContent(AccessibilityGrantPhase phase, std::function<void()> press) const;
};

}  // namespace talvori::ui
