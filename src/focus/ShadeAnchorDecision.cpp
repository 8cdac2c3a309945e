#include "focus/ShadeAnchorDecision.hpp"

#include <algorithm>

namespace talvori {

ShadeAnchorDecision ShadeAnchorDecision::resolveShadeAnchor(
    std::optional<std::uint32_t> candidate, std::uint32_t currentAnchor,
    const std::vector<EligibleFocusWindow>& windows) {
    const auto byID = [](std::uint32_t id) {
        return [id](const EligibleFocusWindow& window) { return window.windowID == id; };
    };
    const auto current = std::find_if(windows.begin(), windows.end(), byID(currentAnchor));
    const bool currentListed = current != windows.end();
    const auto hold = [&] {
        return currentListed ? ShadeAnchorDecision{Kind::hold, *current, 0} : ShadeAnchorDecision{};
    };

    if (!candidate || windows.empty()) return hold();
    const EligibleFocusWindow& front = windows.front();
    if (front.windowID == *candidate) return {Kind::commit, front, currentAnchor};
    const auto listed = std::find_if(windows.begin(), windows.end(), byID(*candidate));
    if (listed == windows.end()) return hold();
    if (currentListed) return hold();
    // With no anchor to keep, the candidate itself: a window manager may keep another program's
    // window in front of the one in use for good (one that opened without the focus), and the
    // front one would leave the window in use dimmed until the next switch.
    return {Kind::snapToFallback, *listed, 0};
}

}  // namespace talvori
