#pragma once

#include <functional>

#include "ui/Slider.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// The control panel's horizontal slider: a rail, an accent fill up to a round white thumb, and a
// halo while hovered or dragged. Stateless: the owner keeps the value and the hover and drag flags
// and passes them back in. A press anywhere on the track jumps to that spot; 12 points at each
// end give exactly 0 or 1.
struct ControlPanelSliderTrack {
    // Nominally 0 to 1; outside that (or no number) it is drawn at the nearer end.
    double fraction = 0;
    bool isHovering = false;
    bool isDragging = false;
    std::function<void(bool)> onHover;
    std::function<void(double)> onDragChanged;
    std::function<void()> onDragEnded;

    static const SliderStyle& style();

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
