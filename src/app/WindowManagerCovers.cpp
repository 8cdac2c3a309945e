#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/announceForAccessibility.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"

namespace talvori {

namespace {

OverlayModel defaultRecord() {
    OverlayModel record;
    record.frame = CodableRect::fromRect(
        Rect(WindowManager::kFallbackCoverOrigin, WindowManager::kDefaultCoverSize));
    record.color = CodableColor{0.5, 0.5, 0.5, 1};
    record.opacity = 0.8;
    record.blurRadius = 20;
    record.effectType = EffectType::glass;
    record.isClickThroughEnabled = false;
    record.zOrderMode = ZOrderMode::smart;
    return record;
}

}  // namespace

std::shared_ptr<OverlayViewModel> WindowManager::createCover() {
    endUndoOffer();
    OverlayModel record = defaultRecord();
    record.name = defaultName(takeOverlayNumber());
    // The main screen is the one of the key window; covers open where the user works.
    if (const auto screen = platform().screens().mainScreen()) {
        const Rect visible = screen->visibleFrame;
        record.frame.x = visible.midX() - kDefaultCoverSize.width / 2;
        record.frame.y = visible.midY() - kDefaultCoverSize.height / 2;
    }
    auto viewModel = openCover(std::move(record));
    announceForAccessibility(viewModel->name() + " created");
    // Never stored nor cancelled: the flash belongs to the cover even if it closes meanwhile.
    platform().runLoop().runAfter(kBorderFlashDelay,
                                  [viewModel] { viewModel->showBorderFlash.set(true); });
    return viewModel;
}

std::shared_ptr<OverlayViewModel> WindowManager::openCover(OverlayModel record) {
    if (windowControllers.peek().contains(record.id) || viewModel(record.id)) {
        record.id = UUID::random();
    }
    auto viewModel = std::make_shared<OverlayViewModel>(std::move(record));
    overlays.modify([&](auto& list) { list.push_back(viewModel); });
    auto controller = OverlayWindowController::create(viewModel);
    wireWindowCallbacks(*controller);
    controller->show();
    windowControllers.modify([&](auto& map) { map[viewModel->id()] = controller; });
    return viewModel;
}

void WindowManager::openCoverSettings(const UUID& id, std::function<void()> afterEscape) {
    const auto cover = viewModel(id);
    if (!cover) return;
    // The status panel closes as the control panel takes the keys; Escape brings it back, and
    // then the row that opened it takes the focus again.
    controlPanelController_->openFromKeyboard(
        id, cover->model.peek().frame.rect(),
        [weak = weak_from_this(), afterEscape = std::move(afterEscape)] {
            if (!withOwner(weak, [](WindowManager& self) {
                    self.menuBarPanelController_->showPanel(false);
                }))
                return;
            if (afterEscape) afterEscape();
        });
}

void WindowManager::closeCover(const UUID& id) {
    const auto closing = viewModel(id);
    removeCover(id);
    if (closing) announceForAccessibility(closing->name() + " closed");
}

void WindowManager::removeCover(const UUID& id) {
    controlPanelController_->hidePanel(id);
    forgetController(id);
    overlays.modify([&](auto& list) {
        std::erase_if(list, [&](const auto& overlay) { return overlay->id() == id; });
    });
}

void WindowManager::forgetController(const UUID& id) {
    const auto& controllers = windowControllers.peek();
    const auto found = controllers.find(id);
    if (found == controllers.end()) return;
    const auto controller = found->second;
    controller->close();
    windowControllers.modify([&](auto& map) { map.erase(id); });
}

void WindowManager::closeActiveLayout() {
    resetCardState();
    std::vector<UUID> ids;
    for (const auto& overlay : overlays.peek()) ids.push_back(overlay->id());
    for (const auto& id : ids) removeCover(id);
    activePresetId.set(std::nullopt);
}

void WindowManager::duplicateCover(const UUID& id) {
    const auto source = viewModel(id);
    if (!source) return;
    OverlayModel copy = source->model.peek();
    copy.id = UUID::random();
    copy.frame.x += 20;
    copy.frame.y -= 20;
    copy.name = defaultName(takeOverlayNumber());
    const auto made = openCover(std::move(copy));
    announceForAccessibility("Duplicated as " + made->name());
}

void WindowManager::recordFollowedFrames() {
    for (const auto& [id, controller] : windowControllers.peek()) controller->recordFollowedFrame();
}

void WindowManager::attachCover(const UUID& id, const AttachmentTarget& target) {
    const auto& controllers = windowControllers.peek();
    if (auto found = controllers.find(id); found != controllers.end()) {
        found->second->attach(target);
    }
}

void WindowManager::detachCover(const UUID& id) {
    const auto& controllers = windowControllers.peek();
    if (auto found = controllers.find(id); found != controllers.end()) found->second->detach();
}

void WindowManager::wireWindowCallbacks(OverlayWindowController& controller) {
    const std::weak_ptr<WindowManager> weak = weak_from_this();
    controller.onHover = weakly(weak, [](WindowManager& self, const UUID& id, const Rect& frame) {
        self.controlPanelController_->scheduleShow(id, frame);
    });
    controller.onHoverEnd =
        weakly(weak, [](WindowManager& self) { self.controlPanelController_->scheduleHide(); });
    controller.onMove = weakly(weak, [](WindowManager& self, const UUID& id, const Rect& frame) {
        self.controlPanelController_->repositionPanel(id, frame);
    });
    controller.onClosedElsewhere = weakly(weak, &WindowManager::closeCover);
}

void WindowManager::resetCardState() {
    cascadeTask.clear();
    closingOverlayIds.set({});
    isCardFading.set(false);
    cardAppearTask.clear();
    isCardAppearing.set(false);
    if (!isClosingAll.peek()) return;
    // The cascade closed the windows of the covers it listed, but a cover opened while it ran
    // still has one: dropping the cover without its window would strand the window on screen.
    for (const auto& overlay : overlays.peek()) {
        controlPanelController_->hidePanel(overlay->id());
        forgetController(overlay->id());
    }
    overlays.set({});
    isClosingAll.set(false);
}

}  // namespace talvori
