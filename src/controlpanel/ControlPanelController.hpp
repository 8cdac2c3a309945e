#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "controlpanel/ColorSamplingSession.hpp"
#include "covers/AttachmentTarget.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/core/Registration.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/core/UUID.hpp"

namespace talvori {

class KeyablePanel;
class OverlayViewModel;
class Panel;
namespace ui {
class PanelHost;
class View;
}  // namespace ui

// The one floating control panel beside whichever cover the pointer rests on: when it shows, moves
// to another cover and goes, where it stands, what its buttons call, and the digit keys that set
// the shown cover's opacity. It holds still while a colour is sampled from the screen. The window
// manager creates it, feeds it the covers' hover and move reports and answers its callbacks.
// Main thread only; every closure it hands out holds it weakly.
class ControlPanelController : public std::enable_shared_from_this<ControlPanelController> {
  public:
    // Space around the card for its shadow, inside the window: the card sits at this offset from
    // the window's top left, and the placement rules apply to the card, not the window. The window
    // takes the pointer everywhere, so at the sides and the top the margin is no wider than the gap
    // to the cover, and a card beside or below its cover never lies over it; a card above its
    // cover keeps no more of the bottom margin than the gap.
    static constexpr double kShadowMarginTop = 10;
    static constexpr double kShadowMarginSide = 10;
    static constexpr double kShadowMarginBottom = 50;
    static constexpr double kGap = 10;
    static constexpr double kOpacityDigitWindow = 1.0;

    ControlPanelController(double showDelay, double switchDelay, double hideDelay)
        : showDelay_(showDelay), switchDelay_(switchDelay), hideDelay_(hideDelay) {}
    ~ControlPanelController();
    ControlPanelController(const ControlPanelController&) = delete;
    ControlPanelController& operator=(const ControlPanelController&) = delete;

    // ---- Set by the owner
    std::function<std::shared_ptr<OverlayViewModel>(const UUID&)> viewModelProvider;
    std::function<void(const UUID&)> onDuplicate;
    std::function<void(const UUID&)> onClose;
    std::function<void(const UUID&, const AttachmentTarget&)> onAttach;
    std::function<void(const UUID&)> onDetach;
    std::function<void(const UUID&)> onLockChange;
    std::function<void(const UUID&)> onClickThroughChange;

    // ---- Reports of the covers
    // The pointer entered cover `id`, whose frame is `overlayFrame`.
    void scheduleShow(const UUID& id, const Rect& overlayFrame);
    // The pointer left a cover or the panel.
    void scheduleHide();
    // Cover `id` moved or was resized.
    void repositionPanel(const UUID& id, const Rect& overlayFrame);
    // Cover `id` is closing.
    void hidePanel(const UUID& ifShowingFor);
    void hideNow();
    // From the keyboard: shows the panel beside cover `id` with its first control focused; Escape
    // closes it again and then runs `afterEscape` (which takes the focus back where it was).
    void openFromKeyboard(const UUID& id, const Rect& overlayFrame,
                          std::function<void()> afterEscape);
    // Stops everything, closes the window and clears the callbacks; later shows do nothing.
    void shutdown();

    // ---- Steps, public for the timers, the views and tests
    void showPanel(const UUID& id, const Rect& overlayFrame);
    void resizePanelToFit();
    // A token for a new sampling of the shown cover; none while one runs or no cover is shown.
    std::optional<UUID> beginSampling();
    // True, ending the sampling, only for the token of the sampling that runs.
    bool resolveSampling(const UUID& token);
    void handleOpacityDigit(int digit);
    void setPanelHovered(bool isHovered);
    // Where the card goes beside `cover`: right, else left, else below, else above, then kept
    // inside the visible frame of the cover's screen, or of the main screen for a cover on none
    // (the left edge wins for a card wider than it; a taller one takes the screen's height and
    // scrolls inside). In the global space, for the card itself.
    static Rect panelFrame(const Rect& nextTo, Size size);
    // The visible frame of the screen of `cover` (else the main screen).
    static Rect screenFrame(const Rect& cover);

    // ---- State, for the owner and tests
    const std::optional<UUID>& currentOverlayID() const { return currentOverlayID_; }
    bool isPanelVisible() const;
    bool isPanelHovered() const { return isPanelHovered_; }
    const std::optional<ColorSamplingSession>& samplingSession() const { return samplingSession_; }
    std::int64_t presentationGeneration() const { return presentationGeneration_; }
    const std::optional<int>& pendingOpacityDigit() const { return pendingOpacityDigit_; }
    bool hasPendingShow() const;
    bool hasPendingHide() const;
    // The window (present after the first show, until shutdown) and the card's frame in it.
    std::shared_ptr<Panel> panel() const;
    std::optional<Rect> cardFrame() const;
    const std::shared_ptr<ui::PanelHost>& hostingView() const { return hostingView_; }

  private:
    bool isShowing(const UUID& id) const;
    bool isVisibleForAnotherCover(const UUID& id) const;
    void buildPanel();
    void setRootView(const UUID& id, std::shared_ptr<OverlayViewModel> viewModel);
    // Names the window for the cover, as readers say it, now and whenever the cover is renamed.
    void nameWindowFor(const std::shared_ptr<OverlayViewModel>& viewModel);
    void applyRootView();
    void placeCard(const Rect& card, bool display);
    Rect windowFrame(const Rect& card) const;
    Size cardSize(Size windowSize) const;
    void forgetOpacityDigit();
    std::shared_ptr<Timer> scheduleTimer(double delay,
                                         std::function<void(ControlPanelController&)> action);

    std::shared_ptr<KeyablePanel> panel_;
    std::shared_ptr<ui::PanelHost> hostingView_;
    // The card's view, without the shadow's margin around it.
    std::shared_ptr<const ui::View> cardView_;
    double bottomMargin_ = kShadowMarginBottom;
    // Where the cover the card was last placed for stands.
    Rect coverFrame_;
    std::optional<UUID> currentOverlayID_;
    TimerSlot hideTimer_;
    TimerSlot showTimer_;
    const double showDelay_;
    const double switchDelay_;
    const double hideDelay_;
    bool isPanelHovered_ = false;
    std::function<void()> afterEscape_;
    std::optional<ColorSamplingSession> samplingSession_;
    std::int64_t presentationGeneration_ = 0;
    std::optional<int> pendingOpacityDigit_;
    TimerSlot opacityDigitTimer_;
    Registration nameWatch_;
};

}  // namespace talvori
