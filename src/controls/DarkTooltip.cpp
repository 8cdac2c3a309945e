#include "controls/DarkTooltip.hpp"

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"

namespace talvori::ui {

namespace {

// Shows the bubble after the resting delay, unless a newer hover or text change cancelled it.
void scheduleShow(ViewContext<DarkTooltip::State>& ctx) {
    const auto fade = ctx.animation(Animation::easeOut(DarkTooltip::kFadeDuration));
    ctx.state.hoverTask.replace(
        Task::start(platform().runLoop(), [weak = ctx.weakState(), fade]() -> Async {
            co_await Task::sleep(DarkTooltip::kShowDelay);
            if (Task::isCurrentCancelled()) co_return;
            withOwner(weak, [&](auto& state) {
                withAnimation(fade, [&] { state.isVisible.set(true); });
            });
        }));
}

}  // namespace

double DarkTooltip::sideShift(const State& state) {
    const double width = state.bubbleWidth();
    const auto frame = state.contentFrame.frameInWindow();
    const auto window = state.contentFrame.window();
    if (!(width > 0) || !frame || !window) return 0;
    const double windowWidth = window->frame().width();
    const double left = frame->midX() - width / 2;
    const double right = frame->midX() + width / 2;
    // A bubble wider than the window keeps its start in view.
    if (left < kWindowMargin) return kWindowMargin - left;
    if (right > windowWidth - kWindowMargin) {
        return std::max(windowWidth - kWindowMargin - right, kWindowMargin - left);
    }
    return 0;
}

View DarkTooltip::bubble(ViewContext<State>& ctx) const {
    return Text(text)
        .font(Font::system(11))
        .foregroundColor(Color::white(0.8))
        .padding(EdgeInsets{4, 8, 4, 8})
        .background(RoundedRectangle(4, RoundedCornerStyle::continuous).fill(Color::black(0.9)))
        .fixedSize()
        .onSizeChange(weakly(ctx.weakState(),
                             [](auto& state, Size size) {
                                 withoutAnimation([&] { state.bubbleWidth.set(size.width); });
                             }))
        .offset(sideShift(ctx.state), -kRise)
        .allowsHitTesting(false)
        .transition(Transition::scale(0.97, UnitPoint::bottom()).combined(Transition::opacity()));
}

View DarkTooltip::body(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    // No bubble, no views for it: a panel holds many tooltips and shows one at a time.
    const View bubbleView = state.isVisible() ? bubble(ctx) : View();
    return content.readFrame(state.contentFrame)
        .onHover([&ctx](bool hovering) {
            auto& state = ctx.state;
            state.isHovering = hovering;
            state.hoverTask.clear();
            if (hovering) {
                scheduleShow(ctx);
            } else {
                withAnimation(ctx.animation(Animation::easeOut(kFadeDuration)),
                              [&] { state.isVisible.set(false); });
            }
        })
        .onChange(text,
                  [&ctx](const std::string&) {
                      auto& state = ctx.state;
                      state.hoverTask.clear();
                      withoutAnimation([&] { state.isVisible.set(false); });
                      if (state.isHovering) scheduleShow(ctx);
                  })
        .overlay(bubbleView, Alignment::top());
}

View darkTooltip(View content, std::string text) {
    return DarkTooltip{std::move(text), std::move(content)};
}

}  // namespace talvori::ui
