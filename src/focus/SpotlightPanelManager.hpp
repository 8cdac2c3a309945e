#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "focus/SpotlightEffect.hpp"
#include "focus/TransientWindow.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Registration.hpp"
#include "platform/desktop/CollectionBehavior.hpp"
#include "platform/desktop/Color.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/Screen.hpp"

namespace talvori {

// The one window that makes Focus mode visible: a full-screen, click-through panel tinted at the
// current opacity (with the window server's background blur in Glass), kept directly below the
// window that keeps focus. It also plays the short cross-fade that hides a move of the panel to a
// window further back: small dim panels fade in over the windows about to fall below it, and only
// then does the big panel move. It decides nothing about which window that is.
class SpotlightPanelManager : public std::enable_shared_from_this<SpotlightPanelManager> {
  public:
    static constexpr double kFadeInDuration = 0.25;
    static constexpr double kFadeOutDuration = 0.2;
    static constexpr double kColorAnimationDuration = 0.15;
    static constexpr const char* kColorAnimationKey = "dimOpacity";
    static constexpr double kSmallPanelCornerRadius = 10;
    // Small panels kept, out of sight, for the next cross-fades: most fades cover one or two
    // windows, and a switch then makes and destroys no window.
    static constexpr std::size_t kKeptSmallPanels = 3;
    // Dim asks the window server for radius 1, not 0, so both effects keep the same window setup.
    static constexpr int kDimBlurRadius = 1;
    // Every space, stationary, beside full-screen windows, and never reached by window cycling.
    static constexpr unsigned kCollectionBehavior =
        CollectionBehavior::canJoinAllSpaces | CollectionBehavior::stationary |
        CollectionBehavior::ignoresCycle | CollectionBehavior::fullScreenAuxiliary;

    static Color dimColor() { return Color::rgb255(21, 24, 32); }

    static std::shared_ptr<SpotlightPanelManager> create();
    SpotlightPanelManager(const SpotlightPanelManager&) = delete;
    SpotlightPanelManager& operator=(const SpotlightPanelManager&) = delete;

    // Asked each time an animation could be skipped; reads the user's setting by default.
    std::function<bool()> isReducedMotion;
    // Another program closed the panel's window: the panel is dropped, on a later turn than the
    // close, and this is told.
    std::function<void()> onPanelClosedElsewhere;

    const std::shared_ptr<Panel>& overlayPanel() const { return overlayPanel_; }
    double dimOpacity() const { return dimOpacity_; }
    double blurRadius() const { return blurRadius_; }
    SpotlightEffect currentEffect() const { return currentEffect_; }
    // What the panel shows of the current effect: Glass needs the desktop to blur behind the
    // panel; where it cannot, Glass shows as Dim.
    SpotlightEffect shownEffect() const;
    double fadeDuration() const { return fadeDuration_; }
    void setFadeDuration(double seconds) { fadeDuration_ = seconds; }
    std::uint64_t fadeGeneration() const { return fadeGeneration_; }
    // The window a running cross-fade is heading for, and its small panels.
    std::optional<std::uint32_t> fadeTarget() const;
    std::vector<std::shared_ptr<Panel>> fadePanels() const;

    // Builds the panel over all of `screens` at alpha 0, in front, and fades it in on the next
    // turn; from then on it covers the screens as they change. Nothing at all when the panel
    // already exists or there is no screen.
    void show(const std::vector<Screen>& screens, double opacity);
    // Ends any cross-fade uncommitted and removes the panel, faded out unless not animated or
    // under Reduce Motion.
    void hide(bool animated);
    // Stores the three values (also without a panel) and applies them; `animated` lets the tint
    // move from what is on screen over 0.15 s. The blur always changes at once.
    void animateAppearance(SpotlightEffect effect, double opacity, double blurRadius,
                           bool animated);
    void applyEffect();
    // Cross-fades towards `newWindowID` over `transients`, or, in Glass, under Reduce Motion or
    // with nothing to cover, moves the panel below it at once.
    void beginTransientFade(std::uint32_t newWindowID,
                            const std::vector<TransientWindow>& transients);
    void finishFade(bool commit);
    // Below `windowID`, unless a cross-fade towards that window is running.
    void orderBelow(std::uint32_t windowID);
    // Below `windowID` at once, ending any cross-fade uncommitted.
    void snapBelow(std::uint32_t windowID);

  private:
    struct FadeSession {
        std::uint64_t id;
        std::uint32_t newWindowID;
        std::vector<std::shared_ptr<Panel>> panels;
    };

    SpotlightPanelManager() = default;
    static std::shared_ptr<Panel> makePanel(const Rect& rect);
    // A small panel over `window`, kept from an earlier fade when there is one.
    std::shared_ptr<Panel> makeSmallPanel(const TransientWindow& window);
    void keepSmallPanels(const std::vector<std::shared_ptr<Panel>>& panels);
    void scheduleFadeIn(const std::shared_ptr<Panel>& panel);
    void fadeInSmallPanels(const FadeSession& session);
    void placeBelow(std::uint32_t windowID) const;
    double shownOpacity() const;
    void coverScreens();
    void panelClosed();

    std::shared_ptr<Panel> overlayPanel_;
    Registration screensObserver_;
    Registration closeObserver_;
    double dimOpacity_ = 0.5;
    double blurRadius_ = 0;
    SpotlightEffect currentEffect_ = SpotlightEffect::dim;
    std::optional<FadeSession> fadeSession_;
    std::vector<std::shared_ptr<Panel>> keptSmallPanels_;
    std::uint64_t fadeGeneration_ = 0;
    double fadeDuration_ = 0.2;
    Registration blurObservation_;
};

}  // namespace talvori
