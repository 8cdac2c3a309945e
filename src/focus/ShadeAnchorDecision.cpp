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
    if (std::none_of(windows.begin(), windows.end(), byID(*candidate))) return hold();
    if (currentListed) return hold();
    return {Kind::snapToFallback, front, 0};
}

}  // namespace talvori
