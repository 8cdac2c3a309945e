#include <algorithm>

#include "app/WindowManager.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/announceForAccessibility.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "ui/Transaction.hpp"

namespace talvori {

namespace {

// The card's animations, or none while Reduce Motion is on (read at each change).
std::optional<ui::Animation> easeOut(double duration) {
    if (platform().workspace().accessibilityDisplayShouldReduceMotion()) return std::nullopt;
    return ui::Animation::easeOut(duration);
}

}  // namespace

void WindowManager::closeAll() {
    platform().runLoop().assertMainThread();
    if (overlays.peek().empty()) return;
    resetCardState();
    endUndoOffer();
    recordFollowedFrames();
    // Closing a window clears its cover's attachment: the snapshot comes first.
    std::vector<OverlayModel> snapshot;
    std::vector<UUID> cascade;
    for (const auto& overlay : overlays.peek()) {
        snapshot.push_back(overlay->model.peek());
        cascade.push_back(overlay->id());
    }
    const auto presetId = activePresetId.peek();
    isClosingAll.set(true);
    announceForAccessibility("All covers closed");
    for (const auto& id : cascade) forgetController(id);
    activePresetId.set(std::nullopt);
    // The newest cover leaves first.
    std::reverse(cascade.begin(), cascade.end());
    cascadeTask.replace(Task::start(platform().runLoop(),
                                    [weak = weak_from_this(), cascade = std::move(cascade),
                                     snapshot = std::move(snapshot), presetId]() -> Async {
                                        for (const auto& id : cascade) {
                                            if (Task::isCurrentCancelled()) co_return;
                                            withOwner(weak, &WindowManager::markClosing, id);
                                            co_await Task::sleep(kCascadeStep);
                                        }
                                        if (Task::isCurrentCancelled()) co_return;
                                        withOwner(weak, &WindowManager::fadeCard);
                                        co_await Task::sleep(kCardFadeWait);
                                        if (Task::isCurrentCancelled()) co_return;
                                        withOwner(weak, &WindowManager::finishCascade, snapshot,
                                                  presetId);
                                    }));
}

void WindowManager::markClosing(const UUID& id) {
    ui::withAnimation(easeOut(kCascadeRowDuration),
                      [&] { closingOverlayIds.modify([&](auto& ids) { ids.insert(id); }); });
}

void WindowManager::fadeCard() {
    ui::withAnimation(easeOut(kCardFadeDuration), [&] { isCardFading.set(true); });
}

void WindowManager::finishCascade(std::vector<OverlayModel> snapshot,
                                  std::optional<UUID> presetId) {
    cascadeTask.clear();
    const auto closing = closingOverlayIds.peek();
    // Covers made while the cascade ran are not in it, and stay.
    overlays.modify([&](auto& list) {
        std::erase_if(list, [&](const auto& overlay) { return closing.contains(overlay->id()); });
    });
    closingOverlayIds.set({});
    isCardFading.set(false);
    isClosingAll.set(false);
    undoableModels.set(std::move(snapshot));
    undoablePresetId.set(presetId);
    startUndoTimer();
}

void WindowManager::startUndoTimer() {
    undoTask.replace(Task::start(platform().runLoop(), [weak = weak_from_this()]() -> Async {
        co_await Task::sleep(kUndoLifetime);
        if (Task::isCurrentCancelled()) co_return;
        withOwner(weak, &WindowManager::endUndoOffer);
    }));
}

void WindowManager::undoCloseAll() {
    platform().runLoop().assertMainThread();
    if (!undoableModels.peek()) return;
    const auto snapshot = *undoableModels.peek();
    const auto presetId = undoablePresetId.peek();
    endUndoOffer();
    startCardAppear();
    for (const auto& record : snapshot) restoreCover(record);
    activePresetId.set(presetId);
    announceForAccessibility(snapshot.size() == 1 ? "Cover restored" : "Covers restored");
}

void WindowManager::startCardAppear() {
    isCardAppearing.set(true);
    cardAppearTask.replace(Task::start(platform().runLoop(), [weak = weak_from_this()]() -> Async {
        co_await Task::sleep(kCardAppearDelay);
        if (Task::isCurrentCancelled()) co_return;
        withOwner(weak, [](WindowManager& self) {
            ui::withAnimation(easeOut(kCardAppearDuration),
                              [&] { self.isCardAppearing.set(false); });
        });
    }));
}

void WindowManager::restoreCover(OverlayModel record) {
    std::optional<AttachmentTarget> target;
    if (record.attachmentInfo && record.attachmentInfo->targetBundleID) {
        target = AttachmentTarget::find(*record.attachmentInfo);
        // Without its application the cover opens where it was, following nothing.
        if (!target) record.attachmentInfo = std::nullopt;
    }
    const auto viewModel = openCover(std::move(record));
    if (!target) return;
    const auto& controllers = windowControllers.peek();
    if (auto found = controllers.find(viewModel->id()); found != controllers.end()) {
        found->second->attach(*target);
    }
}

}  // namespace talvori
