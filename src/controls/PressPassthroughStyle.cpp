#include "controls/PressPassthroughStyle.hpp"

namespace talvori::ui {

namespace {

// The pressed label, scaled about its centre. A component of its own so that Reduce Motion is read
// from its environment each time the press changes.
struct PressedLabel {
    View label;
    bool isPressed;

    View body(ViewContext<NoState>& ctx) const {
        return label.scaleEffect(isPressed ? PressPassthroughStyle::kPressedScale : 1.0)
            .animation(ctx.animation(Animation::easeOut(PressPassthroughStyle::kPressDuration)),
                       isPressed);
    }
};

}  // namespace

View PressPassthroughStyle::operator()(const ButtonConfiguration& configuration) const {
    return PressedLabel{styledLabel(configuration.isPressed), configuration.isPressed};
}

}  // namespace talvori::ui
