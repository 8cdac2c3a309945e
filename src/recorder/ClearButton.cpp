#include "recorder/ClearButton.hpp"

#include "covers/Palette.hpp"

namespace talvori::ui {

Shape ClearButton::cross() {
    return Shape([](const Rect& rect) {
        Path path;
        path.moveTo({rect.minX(), rect.minY()}).lineTo({rect.maxX(), rect.maxY()});
        path.moveTo({rect.maxX(), rect.minY()}).lineTo({rect.minX(), rect.maxY()});
        return path;
    });
}

double ClearButton::crossOpacity(bool isPressed, bool isHovering) {
    if (isPressed) return 0.9;
    return isHovering ? 0.85 : 0.45;
}

View ClearButton::body(ViewContext<State>& ctx) const {
    const bool hovering = ctx.state.isHovering();
    const StrokeStyle line{.lineWidth = 1, .lineCap = LineCap::round};
    return Button(action, View())
        .buttonStyle([hovering, line](const ButtonConfiguration& configuration) -> View {
            return cross()
                .stroke(Color(Palette::white(crossOpacity(configuration.isPressed, hovering))),
                        line)
                .frame(kCrossSide, kCrossSide)
                .frame(kHitSide, kHitSide)
                .contentShape(Rectangle());
        })
        // Follows the pointer at once: a fade would lag behind it.
        .onHover([&ctx](bool hovering) { ctx.state.isHovering.set(hovering); });
}

}  // namespace talvori::ui
