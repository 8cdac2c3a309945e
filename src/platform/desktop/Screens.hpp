#pragma once

#include <optional>
#include <vector>

#include "platform/desktop/Screen.hpp"

namespace talvori {

// The connected displays. The list may be empty (a headless session, or the moment a display is
// unplugged); callers then have nothing to place windows on and do nothing.
class Screens {
  public:
    // Posted on the platform's notification center, without a sender, whenever the list,
    // a frame or a visible frame changes.
    static constexpr const char* kDidChangeParametersNotification = "ScreenParametersDidChange";

    virtual ~Screens() = default;

    // The first screen's bottom-left corner is the origin of the global space; its height is the
    // axis for flipping top-left frames.
    virtual std::vector<Screen> screens() const = 0;
    // The screen of the key window, else the first screen; absent when there is no screen.
    virtual std::optional<Screen> mainScreen() const = 0;

    // The first screen's height, or 0 without screens: flips window-list and Accessibility frames.
    double primaryHeight() const;
    // The screen sharing the largest area with `frame`; absent when it is on none.
    std::optional<Screen> screenFor(const Rect& frame) const;

    // A rectangle of the global space (bottom-left origin, y up) seen with its origin at the top
    // left and y down, or back: the two conventions mirror each other around a screen of height
    // `primaryHeight`.
    static Rect flipped(const Rect& rect, double primaryHeight) {
        return {rect.minX(), primaryHeight - rect.maxY(), rect.width(), rect.height()};
    }
    // `frame` raised just enough that its bottom stays on the visible part of the screen it
    // mostly stands on, never so far that its top leaves it: a window that grows downwards to fit
    // its content stays within reach. Unchanged without screens.
    static Rect keptOnScreen(const Rect& frame, const std::vector<Screen>& screens);
    // The smallest rectangle holding every screen's frame; empty without screens.
    static Rect spanned(const std::vector<Screen>& screens);
};

}  // namespace talvori
