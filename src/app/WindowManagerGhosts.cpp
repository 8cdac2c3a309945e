#include <algorithm>

#include "app/WindowManager.hpp"
#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/CollectionBehavior.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "ui/Paint.hpp"
#include "ui/PanelHost.hpp"
#include "ui/Shape.hpp"

namespace talvori {

namespace {

constexpr unsigned kGhostCollectionBehavior = CollectionBehavior::canJoinAllSpaces |
                                              CollectionBehavior::stationary |
                                              CollectionBehavior::fullScreenAuxiliary;

// An outline at a saved cover's frame that every click passes through.
std::shared_ptr<Panel> makeGhostPanel(const Rect& frame) {
    auto panel = platform().application().makePanel(frame, StyleMask::nonactivatingPanel);
    panel->setOpaque(false);
    panel->setBackgroundColor(Color::clear());
    panel->setHasShadow(false);
    panel->setLevel(WindowLevel::floating);
    panel->setIgnoresMouseEvents(true);
    panel->setCollectionBehavior(kGhostCollectionBehavior);
    panel->setHidesOnDeactivate(false);
    panel->setHostedContent(ui::PanelHost::make(
        ui::Rectangle().strokeBorder(ui::Color(Palette::accent), WindowManager::kGhostLineWidth)));
    return panel;
}

}  // namespace

void WindowManager::showGhostPanels(const UUID& presetId) {
    platform().runLoop().assertMainThread();
    hideGhostPanels();
    const auto& list = presets.peek();
    const auto found = std::find_if(list.begin(), list.end(),
                                    [&](const auto& preset) { return preset.id == presetId; });
    if (found == list.end()) return;
    std::vector<std::shared_ptr<Panel>> shown;
    for (const auto& record : found->overlays) {
        auto panel = makeGhostPanel(record.frame.rect());
        panel->setAlphaValue(0);
        panel->orderFront();
        panel->animateAlphaValue(kGhostAlpha, kGhostFadeInDuration, AnimationCurve::easeOut);
        shown.push_back(std::move(panel));
    }
    ghostPanels.set(std::move(shown));
}

void WindowManager::hideGhostPanels() {
    platform().runLoop().assertMainThread();
    auto panels = ghostPanels.peek();
    if (panels.empty()) return;
    ghostPanels.set({});
    fadingGhostPanels.modify(
        [&](auto& fading) { fading.insert(fading.end(), panels.begin(), panels.end()); });
    for (const auto& panel : panels) {
        panel->animateAlphaValue(
            0, kGhostFadeOutDuration, AnimationCurve::easeOut, [weak = weak_from_this(), panel] {
                panel->orderOut();
                withOwner(weak, [&](WindowManager& self) {
                    self.fadingGhostPanels.modify([&](auto& fading) { std::erase(fading, panel); });
                });
            });
    }
}

}  // namespace talvori
