#include "covers/OverlayView.hpp"

#include "covers/FrostedGlassView.hpp"
#include "covers/OverlayInfoView.hpp"
#include "covers/Palette.hpp"
#include "covers/ResizeHandleOverlay.hpp"
#include "covers/WindowBlurView.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Task.hpp"
#include "platform/core/weakly.hpp"

namespace talvori {

namespace {

constexpr double kGlassTintOpacity = 0.3;

ui::Color colorOf(const CodableColor& color) {
    return {color.red, color.green, color.blue, color.alpha};
}

// An outline drawn inside the cover's bounds.
ui::View border(const ui::Color& color, double width, double opacity) {
    return ui::RoundedRectangle(0, ui::RoundedCornerStyle::continuous)
        .strokeBorder(color, ui::StrokeStyle{.lineWidth = width,
                                             .lineCap = ui::LineCap::butt,
                                             .lineJoin = ui::LineJoin::miter,
                                             .miterLimit = 10})
        .opacity(opacity)
        .allowsHitTesting(false);
}

// What the cover's body draws of its record. The frame is left out: it changes at every step of a
// move, and only the readout shows it.
struct Look {
    CodableColor color;
    double opacity = 0;
    double blurRadius = 0;
    EffectType effectType = EffectType::solid;

    bool operator==(const Look&) const = default;
};

Look lookOf(const OverlayModel& model) {
    return {model.color, model.opacity, model.blurRadius, model.effectType};
}

}  // namespace

ui::View OverlayView::body(ui::ViewContext<State>& context) const {
    const Look model = context.read(viewModel->model, lookOf);
    const bool glass = model.effectType == EffectType::glass;
    const bool hudVisible = viewModel->isResizing() || viewModel->isDragging();
    const ui::Color color = colorOf(model.color);
    // A tint meant for a blurred backdrop would leave whatever lies under the cover readable on a
    // desktop that blurs nothing behind windows: the glass is frosted there instead.
    const bool blurred = platform().application().blursBehindWindows().get();
    const ui::View fill = !glass    ? ui::View(color.opacity(model.opacity))
                          : blurred ? ui::View(ui::Color::gray(FrostedGlassView::kTintLevel,
                                                               kGlassTintOpacity * model.opacity))
                                    : ui::View(FrostedGlassView{model.opacity});
    const ui::Color flash = glass ? ui::Color(Palette::accent) : color;
    auto& state = context.state;
    return ui::ZStack(
               {
                   // Asked again when the desktop starts blurring.
                   WindowBlurView{glass && blurred ? model.blurRadius : 0, hudVisible, blurHost},
                   fill,
                   ResizeHandleOverlay{viewModel, ui::Color(Palette::accent)},
                   OverlayInfoView{viewModel},
                   border(ui::Color(Palette::accent), 2, state.highlightOpacity()),
                   border(flash, 3, state.borderOpacity()),
               })
        .onHover([onHover = onHoverChange](bool hovering) {
            if (onHover) onHover(hovering);
        })
        .onChange(
            viewModel->isHighlighted(),
            [&context](bool highlighted) {
                withAnimation(context.animation(ui::Animation::easeOut(kHighlightDuration)), [&] {
                    context.state.highlightOpacity.set(highlighted ? kHighlightOpacity : 0);
                });
            })
        .onChange(viewModel->showBorderFlash(), [this, &context](bool flashing) {
            if (flashing) flashBorder(context);
        });
}

// Full opacity at once, then a fade; once the fade is over the request is cleared, so that the
// next request is a change again.
void OverlayView::flashBorder(ui::ViewContext<State>& context) const {
    context.state.borderOpacity.set(1);
    const auto animation = context.animation(ui::Animation::easeOut(kFlashDuration));
    const double fade = animation ? kFlashDuration : 0;
    // The fade starts after the view has drawn the full border.
    platform().runLoop().post(weakly(context.weakState(), [animation](auto& state) {
        ui::withAnimation(animation, [&] { state.borderOpacity.set(0); });
    }));
    std::weak_ptr<OverlayViewModel> weakModel = viewModel;
    (void)Task::start(platform().runLoop(), [weakModel, fade]() -> Async {
        (void)co_await Task::sleep(fade);
        withOwner(weakModel, [](OverlayViewModel& model) {
            if (model.showBorderFlash.peek()) model.showBorderFlash.set(false);
        });
    });
}

}  // namespace talvori
