#include "menubar/ActiveCoversCard.hpp"

#include "controls/IconLabel.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/Palette.hpp"
#include "menubar/OverlayRow.hpp"
#include "platform/core/weakly.hpp"
#include "session/Session.hpp"

namespace talvori::ui {

View ActiveCoversCard::body(ViewContext<NoState>& ctx) const {
    const auto current = session.lock();
    if (!current) return View();
    const bool isClosingAll = current->isClosingAll();
    const View rows = ForEach(
        current->overlays(), [](const auto& overlay) { return overlay->id(); },
        [&](const std::shared_ptr<OverlayViewModel>& overlay) {
            return View(OverlayRow{overlay, session})
                .allowsHitTesting(!isClosingAll)
                .transition(Transition::move(Edge::leading).combined(Transition::opacity()));
        });
    return VStack(HorizontalAlignment::leading, 8, {rows, actionBar(ctx, *current)});
}

View ActiveCoversCard::actionBar(ViewContext<NoState>& ctx, Session& current) const {
    const bool isClosingAll = current.isClosingAll();
    const Font font = Font::system(12);
    // Names need not be unique: a layout may follow another of the same name.
    const View save =
        Button(weakly(session,
                      [](auto& owner) {
                          owner.saveCurrentAsPreset(
                              "Layout " + std::to_string(owner.presets.peek().size() + 1));
                      }),
               iconLabel(assetIcon("icon-bookmark", 10), "Save as layout", font, 4)
                   .foregroundColor(Palette::accent));
    const View closeAll = Button(weakly(session, [](auto& owner) { owner.closeAll(); }),
                                 iconLabel(assetIcon("icon-x", 10), "Close all covers", font, 4)
                                     .foregroundColor(Palette::red))
                              .disabled(isClosingAll);
    return HStack({save, Spacer(), closeAll})
        .padding(EdgeInsets{6, 4, 6, 4})
        .opacity(isClosingAll ? 0 : 1)
        .animation(ctx.animation(Animation::easeOut(kBarFadeDuration)), isClosingAll);
}

}  // namespace talvori::ui
