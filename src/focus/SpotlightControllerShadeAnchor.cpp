// How SpotlightController sees the windows on screen and settles the shade anchor.

#include <cstdint>

#include "focus/ShadeAnchorDecision.hpp"
#include "focus/SpotlightController.hpp"
#include "focus/TransientSelection.hpp"
#include "platform/Platform.hpp"

namespace talvori {

std::optional<FocusSnapshot> SpotlightController::focusSnapshot(
    std::optional<std::uint32_t> candidate) const {
    const auto entries = platform().windowList().copyWindowInfo(
        WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements);
    if (!entries) return std::nullopt;
    const auto screens = platform().screens().screens();
    if (screens.empty()) return std::nullopt;
    return FocusSnapshot::make(candidate, *entries, screens.front().frame.height(),
                               platform().workspace().processIdentifier());
}

bool SpotlightController::updateShadeAnchor(std::optional<std::uint32_t> candidate,
                                            const FocusSnapshot& snapshot, const std::string& label,
                                            bool allowFade) {
    const auto decision =
        ShadeAnchorDecision::resolveShadeAnchor(candidate, shadeAnchorWindowID(), snapshot.windows);
    const std::uint32_t windowID = decision.window.windowID;
    report(decision.kind, label, windowID);
    switch (decision.kind) {
        case ShadeAnchorDecision::Kind::commit:
            slowReconcileTask_.clear();
            applyFocus(decision.window, decision.replacedWindowID, snapshot, allowFade);
            log_.debug("%{public}s: committed shade anchor (wid=%{public}u)", label, windowID);
            return false;
        case ShadeAnchorDecision::Kind::hold:
            if (panelManager_->overlayPanel() && windowID != 0) {
                panelManager_->orderBelow(windowID);
            }
            log_.debug("%{public}s: held shade anchor (wid=%{public}u)", label, windowID);
            return true;
        case ShadeAnchorDecision::Kind::snapToFallback:
            slowReconcileTask_.clear();
            shadeAnchorWindowID_.set(windowID);
            focusedAppName_.set(decision.window.appName);
            if (panelManager_->overlayPanel() && windowID != 0) {
                panelManager_->snapBelow(windowID);
            }
            log_.debug("%{public}s: snapped shade anchor to fallback (wid=%{public}u)", label,
                       windowID);
            return false;
        case ShadeAnchorDecision::Kind::none:
            return false;
    }
    return false;
}

void SpotlightController::report(ShadeAnchorDecision::Kind kind, const std::string& source,
                                 std::uint32_t window) {
    if (onDecision) onDecision(FocusDecision{kind, source, window});
}

void SpotlightController::applyFocus(const EligibleFocusWindow& window, std::uint32_t replaced,
                                     const FocusSnapshot& snapshot, bool allowFade) {
    const std::uint32_t current = shadeAnchorWindowID();
    const auto& panel = panelManager_->overlayPanel();
    std::optional<TransientSelection> fade;
    if (allowFade && current != window.windowID && current != 0 && panel &&
        panelManager_->currentEffect() == SpotlightEffect::dim &&
        !panelManager_->isReducedMotion()) {
        fade = TransientSelection::selectTransientWindows(
            snapshot.windows, snapshot.frames, window.windowID, replaced, panel->frame());
    }
    shadeAnchorWindowID_.set(window.windowID);
    focusedAppName_.set(window.appName);
    if (!fade) {
        if (panel && window.windowID != 0) panelManager_->orderBelow(window.windowID);
        return;
    }
    if (fade->omitted > 0) {
        const auto selected = static_cast<std::int64_t>(fade->transients.size());
        const auto omitted = static_cast<std::int64_t>(fade->omitted);
        log_.log(
            "Transient fade cap trimmed windows: total=%{public}ld selected=%{public}ld "
            "omitted=%{public}ld",
            selected + omitted, selected, omitted);
    }
    panelManager_->beginTransientFade(window.windowID, fade->transients);
}

}  // namespace talvori
