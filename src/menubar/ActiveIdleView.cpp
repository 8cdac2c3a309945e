#include "menubar/ActiveIdleView.hpp"

#include "app/WindowManager.hpp"
#include "controls/IconLabel.hpp"
#include "covers/Palette.hpp"
#include "focus/SpotlightCard.hpp"
#include "menubar/ActiveCoversCard.hpp"
#include "menubar/NewCoverButton.hpp"
#include "menubar/PresetsCard.hpp"
#include "menubar/UndoCloseAllLink.hpp"

namespace talvori::ui {

View ActiveIdleView::body(ViewContext<NoState>& ctx) const {
    const auto manager = windowManager.lock();
    if (!manager) return View();
    return VStack(0, {
                         SpotlightCard{manager->sharedSpotlightController()},
                         coversSection(ctx, *manager),
                         manager->presets().empty() ? View() : PresetsCard{windowManager},
                     });
}

View ActiveIdleView::coversSection(ViewContext<NoState>& ctx, WindowManager& manager) const {
    const bool hasCovers = !manager.overlays().empty();
    const bool isClosingAll = manager.isClosingAll();
    const View icon = assetIcon("icon-layers", 16)
                          .foregroundColor(Color::white(0.7))
                          .padding(Edges::top, 2)
                          .frame({.width = 26, .alignment = Alignment::topLeading()})
                          .accessibilityHidden();
    const View titles = VStack(HorizontalAlignment::leading, 2,
                               {unbrokenText("Covers")
                                    .font(Font::system(13, FontWeight::medium))
                                    .foregroundColor(Color::white(0.8)),
                                statusLine(ctx, manager)});
    const View header = HStack(0, {HStack(VerticalAlignment::top, 0, {icon, titles}), Spacer(),
                                   NewCoverButton{windowManager, !hasCovers && !isClosingAll}});
    View card;
    if (hasCovers || isClosingAll) {
        const bool fading = manager.isCardFading();
        const bool appearing = manager.isCardAppearing();
        card = View(ActiveCoversCard{windowManager})
                   .opacity(fading ? 0 : 1)
                   .animation(ctx.animation(Animation::easeOut(WindowManager::kCardFadeDuration)),
                              fading)
                   .opacity(appearing ? 0 : 1)
                   .animation(ctx.animation(Animation::easeOut(WindowManager::kCardAppearDuration)),
                              appearing)
                   .transition(Transition::identity());
    }
    return VStack(HorizontalAlignment::leading, 8, {header, card})
        .padding(Edges::vertical, 12)
        .padding(Edges::horizontal, 16);
}

View ActiveIdleView::statusLine(ViewContext<NoState>& ctx, WindowManager& manager) const {
    const std::size_t count = manager.overlays().size();
    const bool canUndo = manager.undoableModels().has_value();
    const std::string text = count == 0 && !manager.isClosingAll()
                                 ? "No active covers"
                                 : std::to_string(count) + " active";
    const double duration = canUndo ? kUndoAppearDuration : kUndoDisappearDuration;
    return ZStack(Alignment::leading(),
                  {
                      unbrokenText(text)
                          .font(Font::system(11).monospacedDigit())
                          .foregroundColor(Color::white(0.5))
                          .opacity(canUndo ? 0 : 1),
                      View(UndoCloseAllLink{windowManager})
                          .opacity(canUndo ? 1 : 0)
                          .allowsHitTesting(canUndo),
                  })
        .animation(ctx.animation(Animation::easeOut(duration)), canUndo);
}

}  // namespace talvori::ui
