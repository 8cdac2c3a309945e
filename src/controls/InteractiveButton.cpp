#include "controls/InteractiveButton.hpp"

#include "controls/PressPassthroughStyle.hpp"

namespace talvori::ui {

View InteractiveButton::body(ViewContext<State>& ctx) const {
    const bool isHovering = ctx.state.isHovering();
    return Button(action, label(isHovering, false))
        .buttonStyle(PressPassthroughStyle{
            [label = label, isHovering](bool isPressed) { return label(isHovering, isPressed); }})
        .onHover([&ctx](bool hovering) {
            withAnimation(ctx.animation(Animation::easeOut(kHoverDuration)),
                          [&] { ctx.state.isHovering.set(hovering); });
        });
}

}  // namespace talvori::ui
