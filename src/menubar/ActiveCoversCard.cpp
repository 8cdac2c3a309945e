#include "menubar/ActiveCoversCard.hpp"

#include "app/WindowManager.hpp"
#include "controls/IconLabel.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/Palette.hpp"
#include "menubar/OverlayRow.hpp"

namespace talvori::ui {

View ActiveCoversCard::body(ViewContext<NoState>& ctx) const {
    const auto manager = windowManager.lock();
    if (!manager) return View();
    const bool isClosingAll = manager->isClosingAll();
    const View rows = ForEach(
        manager->overlays(), [](const auto& overlay) { return overlay->id(); },
        [&](const std::shared_ptr<OverlayViewModel>& overlay) {
            return View(OverlayRow{overlay, windowManager})
                .allowsHitTesting(!isClosingAll)
                .transition(Transition::move(Edge::leading).combined(Transition::opacity()));
        });
    return VStack(HorizontalAlignment::leading, 8, {rows, actionBar(ctx, *manager)});
}

View ActiveCoversCard::actionBar(ViewContext<NoState>& ctx, WindowManager& manager) const {
    const bool isClosingAll = manager.isClosingAll();
    const Font font = Font::system(12);
    // Names need not be unique: a layout may follow another of the same name.
    const View save = Button(
        [weak = windowManager] {
            if (auto owner = weak.lock()) {
                owner->saveCurrentAsPreset("Layout " +
                                           std::to_string(owner->presets.peek().size() + 1));
            }
        },
        iconLabel(assetIcon("icon-bookmark", 10), "Save as layout", font, 4)
            .foregroundColor(Palette::accent));
    const View closeAll = Button(
                              [weak = windowManager] {
                                  if (auto owner = weak.lock()) owner->closeAll();
                              },
                              iconLabel(assetIcon("icon-x", 10), "Close all covers", font, 4)
                                  .foregroundColor(Palette::red))
                              .disabled(isClosingAll);
    return HStack({save, Spacer(), closeAll})
        .padding(EdgeInsets{6, 4, 6, 4})
        .opacity(isClosingAll ? 0 : 1)
        .animation(ctx.animation(Animation::easeOut(kBarFadeDuration)), isClosingAll);
}

}  // namespace talvori::ui
