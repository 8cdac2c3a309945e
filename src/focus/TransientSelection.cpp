#include "focus/TransientSelection.hpp"

#include <algorithm>

namespace talvori {

TransientSelection TransientSelection::selectTransientWindows(
    const std::vector<EligibleFocusWindow>& windows,
    const std::unordered_map<std::uint32_t, Rect>& frames, std::uint32_t newAnchor,
    std::uint32_t replaced, const Rect& panelFrame) {
    if (replaced == 0) return {};
    const auto last = std::find_if(windows.begin(), windows.end(),
                                   [&](const auto& window) { return window.windowID == replaced; });
    if (last == windows.end()) return {};

    std::vector<TransientWindow> range;
    for (auto window = windows.begin(); window != last + 1; ++window) {
        if (window->windowID == newAnchor) continue;
        const auto frame = frames.find(window->windowID);
        if (frame == frames.end()) return {};
        if (!frame->second.intersects(panelFrame)) continue;
        range.push_back({window->windowID, frame->second.intersection(panelFrame)});
    }
    if (range.size() <= kMaximumWindows) return {std::move(range), 0};

    const bool replacedInRange = range.back().windowID == replaced;
    const std::size_t others = kMaximumWindows - (replacedInRange ? 1 : 0);
    TransientSelection selection;
    for (const auto& transient : range) {
        const bool isReplaced = transient.windowID == replaced;
        if (isReplaced || selection.transients.size() < others) {
            selection.transients.push_back(transient);
        }
    }
    selection.omitted = range.size() - selection.transients.size();
    return selection;
}

}  // namespace talvori
