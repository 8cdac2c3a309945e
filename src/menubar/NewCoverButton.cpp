#include "menubar/NewCoverButton.hpp"

#include "controls/IconLabel.hpp"
#include "covers/Palette.hpp"
#include "platform/core/weakly.hpp"
#include "session/Session.hpp"

namespace talvori::ui {

View NewCoverButton::body(ViewContext<State>& ctx) const {
    const bool hovering = ctx.state.isHovering();
    Color fill = Color::clear(), stroke = Color::clear();
    if (prominent && hovering) {
        fill = Color::white(0.12);
        stroke = Color::white(0.22);
    } else if (prominent || hovering) {
        fill = Color::white(0.09);
        stroke = Color::white(0.19);
    }
    const View label = unbrokenText("+ New cover")
                           .font(Font::system(12, FontWeight::semibold))
                           .foregroundColor(Color::white(0.95))
                           .padding(EdgeInsets{6, 11, 6, 11})
                           .background(RoundedRectangle(6).fill(fill))
                           .overlay(RoundedRectangle(6).strokeBorder(stroke, 1))
                           .contentShape(Rectangle());
    return Button(weakly(session, [](auto& current) { (void)current.createCover(); }), label)
        .keyboardShortcut("n")
        .onHover([&ctx](bool isHovering) {
            withAnimation(ctx.animation(Animation::easeOut(kHoverDuration)),
                          [&] { ctx.state.isHovering.set(isHovering); });
        })
        .accessibilityLabel("New cover");
}

}  // namespace talvori::ui
