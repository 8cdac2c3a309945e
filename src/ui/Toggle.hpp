#pragma once

#include <string>

#include "platform/core/Observation.hpp"
#include "ui/Binding.hpp"
#include "ui/View.hpp"
#include "ui/ViewContext.hpp"

namespace talvori::ui {

// A switch: a rounded track with a round knob at the end of its state, the track in the
// environment's tint while on. A click writes the opposite value through the binding and nothing
// else; the knob follows the value wherever it was changed, sliding over an ease-out (at once
// under Reduce Motion) and drawn at its place at once when the switch first shows. It carries no
// label: give it an accessibility label. Disabled, it is dimmed and ignores clicks.
struct Toggle {
    static constexpr double kTrackWidth = 36;
    static constexpr double kTrackHeight = 20;
    static constexpr double kKnobDiameter = 16;
    static constexpr double kKnobMargin = 2;
    static constexpr double kSlideDuration = 0.15;

    Binding<bool> isOn;
    // Names its parts for tests and debugging: "<identifier>.track", "<identifier>.knob".
    std::string identifier = "Toggle";

    struct State {
        bool hasAppeared = false;
        Observable<bool> visualOn{false};
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui
