#include "menubar/UndoCloseAllLink.hpp"

#include "controls/IconLabel.hpp"
#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "session/Session.hpp"

namespace talvori::ui {

namespace {

// The bar jumps to full, then drains at a steady rate; Reduce Motion does not stop it, since the
// drain is the only sign of how long the undo lasts.
void restartFill(ViewContext<UndoCloseAllLink::State>& ctx) {
    withoutAnimation([&] { ctx.state.fillFraction.set(1.0); });
    (void)Task::start(platform().runLoop(), [weak = ctx.weakState()]() -> Async {
        withOwner(weak, [](UndoCloseAllLink::State& state) {
            withAnimation(Animation::linear(UndoCloseAllLink::kDrainDuration),
                          [&] { state.fillFraction.set(0.0); });
        });
        co_return;
    });
}

}  // namespace

View UndoCloseAllLink::body(ViewContext<State>& ctx) const {
    const auto current = session.lock();
    const bool canUndo = current && current->undoableModels().has_value();
    const double fraction = ctx.state.fillFraction();
    const View label =
        HStack(5, {Image("arrow.uturn.backward").font(Font::system(10, FontWeight::medium)),
                   unbrokenText("Undo close all").font(Font::system(12, FontWeight::medium))})
            .foregroundColor(Color::white(ctx.state.isHovering() ? 0.7 : 0.5))
            .padding(EdgeInsets{4, 8, 4, 8});
    const View bar = GeometryReader([fraction](Size size) {
        return RoundedRectangle(4)
            .fill(Color::white(0.08))
            .frame(size.width * fraction, size.height)
            .accessibilityIdentifier("UndoCloseAllLink.bar");
    });
    return Button(weakly(session, [](auto& owner) { owner.undoCloseAll(); }),
                  label.background(bar, Alignment::leading()).clipShape(RoundedRectangle(4)))
        .onHover([&ctx](bool hovering) { ctx.state.isHovering.set(hovering); })
        .accessibilityLabel("Undo close all")
        .onAppear([&ctx, canUndo] {
            if (canUndo) restartFill(ctx);
        })
        .onChange(canUndo, [&ctx](bool now) {
            if (now) restartFill(ctx);
        });
}

}  // namespace talvori::ui
