#include "menubar/DarkTooltip.hpp"

#include "platform/Platform.hpp"

namespace talvori::ui {

namespace {

// Shows the bubble after the resting delay, unless a newer hover or text change cancelled it.
void scheduleShow(ViewContext<DarkTooltip::State>& ctx) {
    ctx.state.hoverTask.replace(
        Task::start(platform().runLoop(), [weak = ctx.weakState()]() -> Async {
            co_await Task::sleep(DarkTooltip::kShowDelay);
            if (Task::isCurrentCancelled()) co_return;
            if (auto state = weak.lock()) state->isVisible.set(true);
        }));
}

}  // namespace

View DarkTooltip::bubble() const {
    return Text(text)
        .font(Font::system(11))
        .foregroundColor(Color::white(0.8))
        .padding(EdgeInsets{4, 8, 4, 8})
        .background(RoundedRectangle(4, RoundedCornerStyle::continuous).fill(Color::black(0.9)))
        .fixedSize()
        .offset(0, -kRise)
        .transition(Transition::scale(0.97, UnitPoint::bottom()).combined(Transition::opacity()));
}

View DarkTooltip::body(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const bool visible = state.isVisible();
    const View stack = VStack(0, {visible ? bubble() : View()})
                           .animation(ctx.animation(Animation::easeOut(kFadeDuration)), visible)
                           .allowsHitTesting(false);
    return content
        .onHover([&ctx](bool hovering) {
            auto& state = ctx.state;
            state.isHovering = hovering;
            state.hoverTask.clear();
            if (hovering) {
                scheduleShow(ctx);
            } else {
                state.isVisible.set(false);
            }
        })
        .onChange(text,
                  [&ctx](const std::string&) {
                      auto& state = ctx.state;
                      state.hoverTask.clear();
                      withoutAnimation([&] { state.isVisible.set(false); });
                      if (state.isHovering) scheduleShow(ctx);
                  })
        .overlay(stack, Alignment::top());
}

View darkTooltip(View content, std::string text) {
    return DarkTooltip{std::move(text), std::move(content)};
}

}  // namespace talvori::ui
