#include "menubar/ActiveIdleView.hpp"

#include "controls/IconLabel.hpp"
#include "covers/Palette.hpp"
#include "focus/SpotlightCard.hpp"
#include "menubar/ActiveCoversCard.hpp"
#include "menubar/NewCoverButton.hpp"
#include "menubar/PresetsCard.hpp"
#include "menubar/UndoCloseAllLink.hpp"
#include "session/Session.hpp"

namespace talvori::ui {

View ActiveIdleView::body(ViewContext<NoState>& ctx) const {
    const auto current = session.lock();
    if (!current) return View();
    return VStack(0, {
                         SpotlightCard{current->sharedSpotlightController()},
                         coversSection(ctx, *current),
                         current->presets().empty() ? View() : PresetsCard{session},
                     });
}

View ActiveIdleView::coversSection(ViewContext<NoState>& ctx, Session& current) const {
    const bool hasCovers = !current.overlays().empty();
    const bool isClosingAll = current.isClosingAll();
    const View icon = assetIcon("icon-layers", 16)
                          .foregroundColor(Color::white(0.7))
                          .padding(Edges::top, 2)
                          .frame({.width = 26, .alignment = Alignment::topLeading()})
                          .accessibilityHidden();
    const View titles = VStack(HorizontalAlignment::leading, 2,
                               {unbrokenText("Covers")
                                    .font(Font::system(13, FontWeight::medium))
                                    .foregroundColor(Color::white(0.8)),
                                statusLine(ctx, current)});
    const View header = HStack(0, {HStack(VerticalAlignment::top, 0, {icon, titles}), Spacer(),
                                   NewCoverButton{session, !hasCovers && !isClosingAll}});
    View card;
    if (hasCovers || isClosingAll) {
        const bool fading = current.isCardFading();
        const bool appearing = current.isCardAppearing();
        card = View(ActiveCoversCard{session})
                   .opacity(fading ? 0 : 1)
                   .animation(ctx.animation(Animation::easeOut(Session::kCardFadeDuration)), fading)
                   .opacity(appearing ? 0 : 1)
                   .animation(ctx.animation(Animation::easeOut(Session::kCardAppearDuration)),
                              appearing)
                   .transition(Transition::identity());
    }
    return VStack(HorizontalAlignment::leading, 8, {header, card})
        .padding(Edges::vertical, 12)
        .padding(Edges::horizontal, 16);
}

View ActiveIdleView::statusLine(ViewContext<NoState>& ctx, Session& current) const {
    const std::size_t count = current.overlays().size();
    const bool canUndo = current.undoableModels().has_value();
    const std::string text = count == 0 && !current.isClosingAll()
                                 ? "No active covers"
                                 : std::to_string(count) + " active";
    const double duration = canUndo ? kUndoAppearDuration : kUndoDisappearDuration;
    return ZStack(Alignment::leading(),
                  {
                      unbrokenText(text)
                          .font(Font::system(11).monospacedDigit())
                          .foregroundColor(Color::white(0.5))
                          .opacity(canUndo ? 0 : 1)
                          .accessibilityHidden(canUndo),
                      View(UndoCloseAllLink{session})
                          .opacity(canUndo ? 1 : 0)
                          .allowsHitTesting(canUndo)
                          .accessibilityHidden(!canUndo),
                  })
        .animation(ctx.animation(Animation::easeOut(duration)), canUndo);
}

}  // namespace talvori::ui
