#include "app/WindowManager.hpp"

#include "controlpanel/ControlPanelController.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/PresetManager.hpp"
#include "focus/SpotlightController.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "menubar/MenuBarCoachMarkView.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "recorder/TakenShortcuts.hpp"
#include "reminder/UpdateReminder.hpp"
#include "session/GlobalShortcutsHandler.hpp"
#include "session/ShortcutNames.hpp"

namespace talvori {

namespace {

// Says what the desktop holds as it is when the notice shows.
ui::MenuBarCoachMarkView takenShortcutsNoticeView(double beakCenterX, bool beakPointsDown) {
    return {beakCenterX, beakPointsDown, "Taken by your desktop",
            takenShortcutsNotice().value_or("")};
}

}  // namespace

std::shared_ptr<WindowManager> WindowManager::create(
    std::shared_ptr<PresetManager> presetManager,
    std::shared_ptr<SpotlightController> spotlightController,
    std::shared_ptr<GlobalShortcutHandling> shortcutHandler) {
    if (!shortcutHandler) shortcutHandler = std::make_shared<GlobalShortcutsHandler>();
    std::shared_ptr<WindowManager> manager(new WindowManager(
        std::move(presetManager), std::move(spotlightController), std::move(shortcutHandler)));
    // What hands out weak references to the manager runs once it is owned.
    manager->wireControlPanel();
    manager->registerShortcutHandlers();
    manager->spotlightController().onActiveChange =
        weakly(manager->weak_from_this(), [](WindowManager& self) { self.syncFocusShortcuts(); });
    manager->shortcutHandler_->disable(ShortcutNames::focusShortcutNames());
    manager->shortcutHandler_->enable(ShortcutNames::globalShortcutNames());
    manager->installMenuBar();
    manager->installUpdateCallout();
    manager->retryCallout(manager->takenNoticeTask, kTakenNoticeFirstDelay,
                          [](WindowManager& self) { return self.showTakenShortcutsNotice(); });
    return manager;
}

WindowManager::WindowManager(std::shared_ptr<PresetManager> presetManager,
                             std::shared_ptr<SpotlightController> spotlightController,
                             std::shared_ptr<GlobalShortcutHandling> shortcutHandler)
    : Session(std::move(presetManager), std::move(spotlightController)),
      controlPanelController_(std::make_shared<ControlPanelController>(
          kControlPanelShowDelay, kControlPanelSwitchDelay, kControlPanelHideDelay)),
      menuBarPanelController_(std::make_shared<MenuBarPanelController>()),
      coachMarkController_(std::make_shared<MenuBarCoachMarkController>(false)),
      // The callout speaks the update that is pending when it shows, not when it was made.
      updateCalloutController_(std::make_shared<MenuBarCoachMarkController>(
          true,
          [] {
              const auto& pending = UpdateReminder::shared()->pendingUpdate().peek();
              return pending ? pending->readyAnnouncement() : std::string();
          })),
      takenNoticeController_(std::make_shared<MenuBarCoachMarkController>(
          false, [] { return takenShortcutsNoticeView(0, false).announcement(); },
          [](double beakCenterX, bool beakPointsDown) -> ui::View {
              return takenShortcutsNoticeView(beakCenterX, beakPointsDown);
          })),
      shortcutHandler_(std::move(shortcutHandler)) {}

WindowManager::~WindowManager() = default;

void WindowManager::wireControlPanel() {
    auto& panel = *controlPanelController_;
    const std::weak_ptr<WindowManager> weak = weak_from_this();
    panel.viewModelProvider =
        weakly(weak, [](WindowManager& self, const UUID& id) { return self.viewModel(id); });
    panel.onDuplicate =
        weakly(weak, [](WindowManager& self, const UUID& id) { self.duplicateCover(id); });
    panel.onClose = weakly(weak, [](WindowManager& self, const UUID& id) { self.closeCover(id); });
    panel.onAttach =
        weakly(weak, [](WindowManager& self, const UUID& id, const AttachmentTarget& target) {
            self.attachCover(id, target);
        });
    panel.onDetach =
        weakly(weak, [](WindowManager& self, const UUID& id) { self.detachCover(id); });
    auto syncPanelState = [](WindowManager& self, const UUID& id) {
        const auto& controllers = self.windowControllers.peek();
        if (auto found = controllers.find(id); found != controllers.end()) {
            found->second->syncPanelState();
        }
    };
    panel.onLockChange = weakly(weak, syncPanelState);
    panel.onClickThroughChange = weakly(weak, syncPanelState);
}

void WindowManager::shutdown() {
    if (isShutdown.peek()) return;
    isShutdown.set(true);
    cascadeTask.clear();
    cardAppearTask.clear();
    coachMarkTask.clear();
    undoTask.clear();
    isClosingAll.set(false);
    isCardFading.set(false);
    isCardAppearing.set(false);
    closingOverlayIds.set({});
    endUndoOffer();
    // Its activity callback switches the Focus shortcuts off, now that the manager is shut down.
    spotlightController().deactivate();
    removeGhostPanels();
    controlPanelController_->shutdown();
    for (const auto& [id, controller] : windowControllers.peek()) controller->close();
    windowControllers.set({});
    overlays.set({});
    activePresetId.set(std::nullopt);
    coachMarkController_->dismiss();
    updateCalloutTask.clear();
    updateCalloutController_->dismiss();
    takenNoticeTask.clear();
    takenNoticeController_->dismiss();
    UpdateReminder::shared()->onUpdateFound = nullptr;
    shortcutChanges_ = {};
    menuBarPanelController_->tearDown();
    shortcutHandler_->disable(ShortcutNames::globalShortcutNames());
    spotlightController().onActiveChange = nullptr;
    for (const auto& name : ShortcutNames::globalShortcutNames()) {
        shortcutHandler_->removeHandler(name);
    }
    for (const auto& name : ShortcutNames::focusShortcutNames()) {
        shortcutHandler_->removeHandler(name);
    }
}

void WindowManager::endUndoOffer() {
    undoTask.clear();
    if (undoableModels.peek()) undoableModels.modify([](auto& models) { models.reset(); });
    undoablePresetId.set(std::nullopt);
}

void WindowManager::removeGhostPanels() {
    auto panels = ghostPanels.peek();
    const auto& fading = fadingGhostPanels.peek();
    panels.insert(panels.end(), fading.begin(), fading.end());
    ghostPanels.set({});
    fadingGhostPanels.set({});
    for (const auto& panel : panels) panel->orderOut();
}

}  // namespace talvori
