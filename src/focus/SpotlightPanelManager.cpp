#include "focus/SpotlightPanelManager.hpp"

#include <algorithm>

#include "focus/SpotlightSliderMapping.hpp"
#include "platform/Platform.hpp"
#include "platform/core/SaturatingCast.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Screens.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori {

std::shared_ptr<SpotlightPanelManager> SpotlightPanelManager::create() {
    std::shared_ptr<SpotlightPanelManager> manager(new SpotlightPanelManager());
    manager->isReducedMotion = [] {
        return platform().workspace().accessibilityDisplayShouldReduceMotion();
    };
    // The desktop's blur can come and go while Focus shows (a compositor starts or ends).
    manager->blurObservation_ = platform().application().blursBehindWindows().observe(
        weakly(manager->weak_from_this(), &SpotlightPanelManager::applyEffect));
    return manager;
}

SpotlightEffect SpotlightPanelManager::shownEffect() const {
    if (currentEffect_ == SpotlightEffect::glass &&
        platform().application().blursBehindWindows().peek()) {
        return SpotlightEffect::glass;
    }
    return SpotlightEffect::dim;
}

// Without the blur, a Glass opacity meant for a blurred backdrop could leave the screen looking
// untouched: it dims at least as much as Dim's lightest setting.
double SpotlightPanelManager::shownOpacity() const {
    if (currentEffect_ == SpotlightEffect::glass && shownEffect() == SpotlightEffect::dim) {
        return std::max(dimOpacity_, SpotlightSliderMapping::kMinimumDimOpacity);
    }
    return dimOpacity_;
}

std::optional<std::uint32_t> SpotlightPanelManager::fadeTarget() const {
    if (!fadeSession_) return std::nullopt;
    return fadeSession_->newWindowID;
}

std::vector<std::shared_ptr<Panel>> SpotlightPanelManager::fadePanels() const {
    return fadeSession_ ? fadeSession_->panels : std::vector<std::shared_ptr<Panel>>{};
}

std::shared_ptr<Panel> SpotlightPanelManager::makePanel(const Rect& rect) {
    auto panel = platform().application().makePanel(rect, StyleMask::nonactivatingPanel);
    panel->setOpaque(false);
    panel->setBackgroundColor(Color::clear());
    panel->setLevel(WindowLevel::normal);
    panel->setIgnoresMouseEvents(true);
    panel->setHidesOnDeactivate(false);
    panel->setRestorable(false);
    panel->setHasShadow(false);
    panel->setAnimationBehavior(AnimationBehavior::none);
    panel->setCollectionBehavior(kCollectionBehavior);
    return panel;
}

std::shared_ptr<Panel> SpotlightPanelManager::makeSmallPanel(const TransientWindow& window) {
    std::shared_ptr<Panel> panel;
    if (keptSmallPanels_.empty()) {
        panel = makePanel(window.frame);
    } else {
        panel = std::move(keptSmallPanels_.back());
        keptSmallPanels_.pop_back();
        panel->setFrame(window.frame, false);
    }
    panel->setContentLayer({dimColor().withAlpha(shownOpacity()), kSmallPanelCornerRadius});
    panel->setAlphaValue(0);
    panel->orderRelative(WindowOrderingMode::above, window.windowID);
    return panel;
}

void SpotlightPanelManager::keepSmallPanels(const std::vector<std::shared_ptr<Panel>>& panels) {
    for (const auto& panel : panels) {
        panel->orderOut();
        // A fade ended early stops here: out of sight, the panel has nothing left to animate.
        panel->setAlphaValue(0);
        // However many fades come, no more than these outlive them.
        if (keptSmallPanels_.size() < kKeptSmallPanels) keptSmallPanels_.push_back(panel);
    }
}

void SpotlightPanelManager::show(const std::vector<Screen>& screens, double opacity) {
    if (overlayPanel_ || screens.empty()) return;
    dimOpacity_ = opacity;
    overlayPanel_ = makePanel(Screens::spanned(screens));
    applyEffect();
    overlayPanel_->setAlphaValue(0);
    overlayPanel_->orderFront();
    scheduleFadeIn(overlayPanel_);
    // A screen that grows, or one plugged in while Focus is on, is dimmed too.
    screensObserver_ = platform().notificationCenter().addObserver(
        Screens::kDidChangeParametersNotification, nullptr, NotificationDelivery::synchronous,
        weakly(weak_from_this(),
               [](SpotlightPanelManager& self, const Notification&) { self.coverScreens(); }));
    // We never close the panel ourselves.
    closeObserver_ = platform().notificationCenter().addObserver(
        Panel::kWillCloseNotification, overlayPanel_.get(), NotificationDelivery::mainQueue,
        weakly(weak_from_this(),
               [](SpotlightPanelManager& self, const Notification&) { self.panelClosed(); }));
}

void SpotlightPanelManager::panelClosed() {
    if (!overlayPanel_ || !overlayPanel_->isClosed()) return;
    finishFade(false);
    screensObserver_.reset();
    closeObserver_.reset();
    overlayPanel_ = nullptr;
    if (onPanelClosedElsewhere) onPanelClosedElsewhere();
}

void SpotlightPanelManager::coverScreens() {
    const auto screens = platform().screens().screens();
    if (!overlayPanel_ || screens.empty()) return;
    overlayPanel_->setFrame(Screens::spanned(screens), true);
}

void SpotlightPanelManager::scheduleFadeIn(const std::shared_ptr<Panel>& panel) {
    // Deferred so the panel is on screen at alpha 0 first. Always runs, even under Reduce Motion:
    // without it the screen would go dark in one frame.
    platform().runLoop().post(weakly(
        weak_from_this(), [weakPanel = std::weak_ptr<Panel>(panel)](SpotlightPanelManager& self) {
            withOwner(weakPanel, [&self](Panel& panel) {
                if (&panel != self.overlayPanel_.get()) return;
                panel.animateAlphaValue(1, kFadeInDuration, AnimationCurve::easeOut);
            });
        }));
}

void SpotlightPanelManager::hide(bool animated) {
    finishFade(false);
    screensObserver_.reset();
    closeObserver_.reset();
    if (!overlayPanel_) return;
    auto panel = std::move(overlayPanel_);
    overlayPanel_ = nullptr;
    if (!animated || isReducedMotion()) {
        panel->orderOut();
        return;
    }
    // The completion keeps the panel alive until it is ordered out, whatever shows meanwhile.
    panel->animateAlphaValue(0, kFadeOutDuration, AnimationCurve::easeOut,
                             [panel] { panel->orderOut(); });
}

void SpotlightPanelManager::applyEffect() {
    if (!overlayPanel_) return;
    overlayPanel_->setContentLayer({dimColor().withAlpha(shownOpacity()), 0});
    // A negative radius means nothing to the window server; stored values are not clamped.
    const int radius = shownEffect() == SpotlightEffect::glass
                           ? std::max(0, saturatingCast<std::int32_t>(blurRadius_))
                           : kDimBlurRadius;
    overlayPanel_->setBackgroundBlurRadius(radius);
}

void SpotlightPanelManager::animateAppearance(SpotlightEffect effect, double opacity,
                                              double blurRadius, bool animated) {
    finishFade(true);
    std::optional<Color> fromColor;
    if (overlayPanel_) {
        fromColor = overlayPanel_->presentationBackgroundColor().value_or(
            overlayPanel_->contentLayer().backgroundColor);
        overlayPanel_->removeLayerAnimation(kColorAnimationKey);
    }
    currentEffect_ = effect;
    dimOpacity_ = opacity;
    blurRadius_ = blurRadius;
    applyEffect();
    if (animated && !isReducedMotion() && overlayPanel_ && fromColor) {
        overlayPanel_->addBackgroundColorAnimation(
            kColorAnimationKey, *fromColor, overlayPanel_->contentLayer().backgroundColor,
            kColorAnimationDuration, AnimationCurve::easeOut);
    }
}

void SpotlightPanelManager::beginTransientFade(std::uint32_t newWindowID,
                                               const std::vector<TransientWindow>& transients) {
    if (!overlayPanel_ || newWindowID == 0) return;
    finishFade(true);
    std::vector<TransientWindow> kept;
    std::copy_if(transients.begin(), transients.end(), std::back_inserter(kept),
                 [&](const TransientWindow& window) {
                     return window.windowID != 0 && window.windowID != newWindowID;
                 });
    if (shownEffect() == SpotlightEffect::glass || isReducedMotion() || kept.empty()) {
        placeBelow(newWindowID);
        return;
    }
    FadeSession session{++fadeGeneration_, newWindowID, {}};
    for (const auto& window : kept) session.panels.push_back(makeSmallPanel(window));
    fadeSession_ = std::move(session);
    fadeInSmallPanels(*fadeSession_);
}

void SpotlightPanelManager::fadeInSmallPanels(const FadeSession& session) {
    // One group: its completion runs once, when the last small panel is opaque.
    auto remaining = std::make_shared<std::size_t>(session.panels.size());
    const auto completion = [weak = weak_from_this(), id = session.id, remaining] {
        if (--*remaining > 0) return;
        withOwner(weak, [id](SpotlightPanelManager& self) {
            if (self.fadeSession_ && self.fadeSession_->id == id) self.finishFade(true);
        });
    };
    for (const auto& panel : session.panels) {
        panel->animateAlphaValue(1, fadeDuration_, AnimationCurve::easeOut, completion);
    }
}

void SpotlightPanelManager::finishFade(bool commit) {
    if (!fadeSession_) return;
    FadeSession session = std::move(*fadeSession_);
    fadeSession_.reset();
    if (commit && overlayPanel_ && session.newWindowID != 0) placeBelow(session.newWindowID);
    keepSmallPanels(session.panels);
}

void SpotlightPanelManager::orderBelow(std::uint32_t windowID) {
    if (!overlayPanel_ || windowID == 0) return;
    if (fadeSession_ && fadeSession_->newWindowID == windowID) return;
    finishFade(false);
    placeBelow(windowID);
}

void SpotlightPanelManager::snapBelow(std::uint32_t windowID) {
    if (!overlayPanel_ || windowID == 0) return;
    finishFade(false);
    placeBelow(windowID);
}

void SpotlightPanelManager::placeBelow(std::uint32_t windowID) const {
    overlayPanel_->orderRelative(WindowOrderingMode::below, windowID);
}

}  // namespace talvori
