#include "focus/FocusSnapshot.hpp"

#include "platform/desktop/Screens.hpp"

namespace talvori {

FocusSnapshot FocusSnapshot::make(std::optional<std::uint32_t> candidate,
                                  const std::vector<WindowInfo>& entries, double primaryHeight,
                                  std::int32_t ownPID) {
    FocusSnapshot snapshot{candidate, {}, {}};
    snapshot.windows.reserve(entries.size());
    snapshot.frames.reserve(entries.size());
    for (const auto& entry : entries) {
        auto window = parseWindowInfo(entry, ownPID);
        if (!window) continue;
        snapshot.frames[window->windowID] = Screens::flipped(*entry.bounds, primaryHeight);
        snapshot.windows.push_back(std::move(*window));
    }
    return snapshot;
}

std::optional<EligibleFocusWindow> FocusSnapshot::parseWindowInfo(const WindowInfo& entry,
                                                                  std::int32_t ownPID) {
    if (!entry.ownerPID || *entry.ownerPID == ownPID) return std::nullopt;
    if (!entry.layer || *entry.layer != 0) return std::nullopt;
    if (!entry.alpha || !(*entry.alpha > 0)) return std::nullopt;
    // Number 0 means "no anchor" to the engine, so such a window could never be held.
    if (!entry.number || *entry.number == 0) return std::nullopt;
    if (!entry.bounds) return std::nullopt;
    if (!(entry.bounds->width() >= 2 && entry.bounds->height() >= 2)) return std::nullopt;
    return EligibleFocusWindow{*entry.number, *entry.ownerPID, entry.ownerName};
}

std::optional<std::uint32_t> FocusSnapshot::firstWindowID(
    std::int32_t pid, const std::vector<EligibleFocusWindow>& windows) {
    for (const auto& window : windows) {
        if (window.ownerPID == pid) return window.windowID;
    }
    return std::nullopt;
}

}  // namespace talvori
