#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "covers/AttachmentTarget.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Task.hpp"
#include "platform/core/UUID.hpp"
#include "platform/desktop/Image.hpp"
#include "session/Session.hpp"

namespace talvori {

class ControlPanelController;
class GlobalShortcutHandling;
class MenuBarCoachMarkController;
class MenuBarPanelController;
class OverlayViewModel;
class OverlayWindowController;
class Panel;
class PresetManager;
class SpotlightController;

// The one coordinator of the running application: the session's covers with their windows, the
// layouts and their previews, the Focus engine, the control panel, the status item with its panel
// and the callouts under it, and the global shortcuts' answers. Made once by the runtime
// coordinator; main thread only. The observable fields below notify those that read them, and only
// on a real change (lists of panels compare by identity).
class WindowManager : public Session, public std::enable_shared_from_this<WindowManager> {
  public:
    static constexpr double kControlPanelShowDelay = 0.2;
    static constexpr double kControlPanelSwitchDelay = 0.3;
    static constexpr double kControlPanelHideDelay = 0.5;
    static constexpr double kBorderFlashDelay = 0.05;
    static constexpr double kCoachMarkDelay = 0.35;
    // A pending update's callout is first tried this long after launch, then again at every
    // interval, a limited number of times.
    static constexpr double kUpdateCalloutFirstDelay = 3.0;
    static constexpr double kUpdateCalloutRetryInterval = 2.0;
    static constexpr int kUpdateCalloutAttempts = 60;
    // Shortcuts the desktop holds are told under the status item this long after start, after
    // the coach mark's delay; then tried again as the update callout is.
    static constexpr double kTakenNoticeFirstDelay = 1.0;
    static constexpr Size kDefaultCoverSize{300, 200};
    static constexpr Point kFallbackCoverOrigin{100, 100};
    static constexpr Size kStatusImageSize{18, 18};
    static constexpr const char* kStatusImageAsset = "icon-menubar";
    // The close-all cascade: one row every step, each fading for the row duration, then the card
    // fades and the list empties after the card wait; the undo offer then lives for its lifetime.
    static constexpr double kCascadeStep = 0.12;
    static constexpr double kCascadeRowDuration = 0.35;
    static constexpr double kCardFadeWait = 0.35;
    static constexpr double kUndoLifetime = 8.0;
    // Restored covers: the card stays invisible for the delay, then fades in.
    static constexpr double kCardAppearDelay = 0.3;
    // Layout previews: outlines fading in to half opacity, and out again.
    static constexpr double kGhostAlpha = 0.5;
    static constexpr double kGhostFadeInDuration = 0.25;
    static constexpr double kGhostFadeOutDuration = 0.2;
    static constexpr double kGhostLineWidth = 2;

    // Builds and wires the whole runtime: control panel, status item and panel, callouts, layouts,
    // the seven shortcut handlers and the update callout. Without a shortcut handler, the hot-key
    // library itself.
    static std::shared_ptr<WindowManager> create(
        std::shared_ptr<PresetManager> presetManager,
        std::shared_ptr<SpotlightController> spotlightController,
        std::shared_ptr<GlobalShortcutHandling> shortcutHandler = {});
    ~WindowManager() override;
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // ---- The close-all cascade, the undo offer and the card's fade-in, while they run
    TaskSlot undoTask;
    TaskSlot cascadeTask;
    TaskSlot cardAppearTask;
    TaskSlot coachMarkTask;

    // ---- Windows
    // One controller per open cover with a window, by the cover's id.
    Observable<std::map<UUID, std::shared_ptr<OverlayWindowController>>> windowControllers;
    // The previews of a hovered layout, shown or fading in; and those fading out.
    Observable<std::vector<std::shared_ptr<Panel>>> ghostPanels;
    Observable<std::vector<std::shared_ptr<Panel>>> fadingGhostPanels;

    TaskSlot updateCalloutTask;
    TaskSlot takenNoticeTask;
    // After shutdown() the callouts and the Focus shortcuts stay off.
    Observable<bool> isShutdown{false};

    // ---- Collaborators, fixed at construction
    GlobalShortcutHandling& shortcutHandler() const { return *shortcutHandler_; }
    ControlPanelController& controlPanelController() const { return *controlPanelController_; }
    MenuBarPanelController& menuBarPanelController() const { return *menuBarPanelController_; }
    MenuBarCoachMarkController& coachMarkController() const { return *coachMarkController_; }
    MenuBarCoachMarkController& updateCalloutController() const {
        return *updateCalloutController_;
    }
    MenuBarCoachMarkController& takenNoticeController() const { return *takenNoticeController_; }

    // Tears the runtime down for good; a second call does nothing. Nothing in the application
    // calls it: quitting ends the process as it is.
    void shutdown();

    // ---- Global shortcuts
    // The four Focus shortcuts on while Focus is on (and the manager not shut down), else off.
    void syncFocusShortcuts();

    // ---- Covers
    // Ends an open undo offer, and flashes the new cover's border a moment later.
    std::shared_ptr<OverlayViewModel> createCover() override;
    void closeCover(const UUID& id) override;
    void openCoverSettings(const UUID& id, std::function<void()> afterEscape) override;
    // Closes the cover without a word, as one of several closing together.
    void removeCover(const UUID& id);
    void closeActiveLayout() override;
    // A copy of the cover beside it (20 points right and down) under the next default name.
    void duplicateCover(const UUID& id);
    void attachCover(const UUID& id, const AttachmentTarget& target);
    void detachCover(const UUID& id);
    // Connects the cover window's hover and move reports to the control panel.
    void wireWindowCallbacks(OverlayWindowController& controller);
    // Appends `record` to the open covers and shows its window: the one way covers open, also when
    // a layout is applied or a close-all undone. A record whose id is already open gets a fresh id,
    // so every open cover has exactly one window and closing one closes exactly that one.
    std::shared_ptr<OverlayViewModel> openCover(OverlayModel record);

    // ---- The covers card, the undo offer and ghost previews
    // Closes every cover window at once, then lets the rows of the card fade out one by one.
    void closeAll() override;
    // The covers come back with their ids, fields and attachments; nothing without an open offer.
    void undoCloseAll() override;
    // The offer ends by itself after its lifetime.
    void startUndoTimer();
    // Ends an open "Undo close all" offer: the closed covers can no longer come back.
    void endUndoOffer();
    // Ends a running cascade or card-appear animation and clears the card flags. Covers of an
    // interrupted cascade are dropped, and their windows with them.
    void resetCardState();
    void showGhostPanels(const UUID& presetId) override;
    void hideGhostPanels() override;
    // Removes every layout preview at once, also those fading out.
    void removeGhostPanels();

    // ---- Layouts
    void applyPreset(const UUID& id) override;

    // ---- Menu-bar panel and status image
    void showMenuBarPanel();
    // From the keyboard, the panel opens with its first control focused.
    void toggleMenuBarPanel(bool fromKeyboard = false);
    // The update row's and the update callout's action: the callout and the panel make way for
    // the updater's own windows.
    void checkForUpdatesFromCallout();
    // The status item's template image: the artwork, with an arrow badge while an update is
    // pending; empty when the artwork is missing.
    Image statusBarImage() const;
    static Image statusBarImage(bool hasPendingUpdate);
    // The status item's artwork as a template image; none when it is missing.
    static std::optional<Image> statusImageAsset();
    // `asset` shrunk into the badged image's frame, with a dot and an upward arrow at its top
    // right.
    static Image badgedStatusImage(const Image& asset);
    std::string statusBarAccessibilityLabel() const;

    // ---- Coach mark and update callout
    // Shows the coach mark under the status item shortly; a newer request replaces a waiting one.
    void scheduleCoachMark();
    // The coach mark, or the menu-bar panel when the coach mark cannot be placed.
    void showCoachMark();
    // Hooks the update callout and the what's-new card to the update reminder and starts offering
    // a pending update.
    void installUpdateCallout();
    // The update callout under the status item, unless the panel or a callout is in the way or
    // the pending build's callout was already shown; marked shown only once it really showed.
    void showUpdateCallout();
    // Tells under the status item which stored shortcuts the desktop holds and where to record
    // others, once for each: false when that is done or not needed, true when the panel or
    // another callout is in the way, or the item cannot be pointed at yet.
    bool showTakenShortcutsNotice();
    // Takes the coach mark, the update callout and the notice of taken shortcuts away.
    void dismissCallouts();

  private:
    WindowManager(std::shared_ptr<PresetManager> presetManager,
                  std::shared_ptr<SpotlightController> spotlightController,
                  std::shared_ptr<GlobalShortcutHandling> shortcutHandler);

    void wireControlPanel();
    // The status item, its panel showing this session, and what the panel asks of the manager.
    void installMenuBar();
    void registerShortcutHandlers();
    void forgetController(const UUID& id);
    void recordFollowedFrames() override;
    bool hasPendingUpdate() const;
    // Runs `attempt` in `slot` after `firstDelay`, then at every retry interval while it answers
    // true, at most kUpdateCalloutAttempts times.
    void retryCallout(TaskSlot& slot, double firstDelay, bool (*attempt)(WindowManager&));
    // Tells the update reminder which Focus shortcuts work now.
    void refreshFocusStepKeys();
    // The panel, a callout or a coach mark still to come is in the way of another callout.
    bool isCalloutHeldBack() const;
    // Opens a saved or snapshot cover and attaches it again to the window it followed, or while
    // that is gone to another of its application (bundle id); without one running the cover
    // forgets its attachment.
    void restoreCover(OverlayModel record);
    // The covers card stays invisible a moment, then fades in.
    void startCardAppear();
    void markClosing(const UUID& id);
    void fadeCard();
    void finishCascade(std::vector<OverlayModel> snapshot, std::optional<UUID> presetId);

    std::shared_ptr<ControlPanelController> controlPanelController_;
    std::shared_ptr<MenuBarPanelController> menuBarPanelController_;
    std::shared_ptr<MenuBarCoachMarkController> coachMarkController_;
    std::shared_ptr<MenuBarCoachMarkController> updateCalloutController_;
    std::shared_ptr<MenuBarCoachMarkController> takenNoticeController_;
    Registration shortcutChanges_;
    std::shared_ptr<GlobalShortcutHandling> shortcutHandler_;
};

}  // namespace talvori
