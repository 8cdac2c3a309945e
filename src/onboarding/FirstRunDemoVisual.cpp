#include "onboarding/FirstRunDemoVisual.hpp"

#include <string>

#include "covers/Palette.hpp"
#include "onboarding/FirstRunDemoWindow.hpp"

namespace talvori::ui {

namespace {

constexpr double kCornerRadius = 7;
constexpr Color kWindowFill = Color::rgb255(36, 42, 58);
constexpr Color kQuietBorder = Color::white(0.14);
constexpr double kDimmedOpacity = 0.35;
constexpr Size kFocusedSize{150, 102};
constexpr Point kFocusedOffset{105, 12};
constexpr double kFocusedChromeLeading = 8;
constexpr double kChromeTop = 7;
constexpr double kDotDiameter = 5;
constexpr double kDotSpacing = 4;
constexpr double kGlowRadius = 13;

View titleBarDots() {
    ViewList dots;
    for (int index = 0; index < 3; ++index) {
        dots.push_back(Circle().fill(Color::white(0.25)).frame(kDotDiameter, kDotDiameter));
    }
    return HStack(VerticalAlignment::center, kDotSpacing, std::move(dots));
}

// A window at the picture's top-left corner; the caller moves it into place last, after its
// opacity and glow, so the glow is worked out around the window where it is drawn.
View window(Size size, double chromeLeading, const Color& border) {
    return ZStack(Alignment::topLeading(),
                  {RoundedRectangle(kCornerRadius).fill(kWindowFill),
                   RoundedRectangle(kCornerRadius).strokeBorder(border, 1),
                   titleBarDots().padding(EdgeInsets{kChromeTop, chromeLeading, 0, 0})})
        .frame(size.width, size.height, Alignment::topLeading());
}

void syncPhase(ViewContext<FirstRunDemoVisual::State>& ctx, FirstRunDemoPhase target) {
    if (ctx.state.presentedPhase.peek() == target) return;
    const auto animation = ctx.animation(
        Animation::easeInOut(FirstRunDemoVisual::kDuration).delay(FirstRunDemoVisual::kDelay));
    withAnimation(animation, [&] { ctx.state.presentedPhase.set(target); });
}

}  // namespace

View FirstRunDemoVisual::body(ViewContext<State>& ctx) const {
    const bool dimmed = ctx.state.presentedPhase() == FirstRunDemoPhase::dimmed;
    ViewList layers;
    for (const auto& background : FirstRunDemoWindow::backgroundWindows()) {
        layers.push_back(window(background.size, background.chromeLeading, kQuietBorder)
                             .opacity(dimmed ? kDimmedOpacity : 1)
                             .offset(background.offset.x, background.offset.y)
                             .accessibilityIdentifier("FirstRunDemoVisual.background" +
                                                      std::to_string(background.id)));
    }
    const Color focusedBorder = dimmed ? Color(Palette::accent.withAlpha(0.55)) : kQuietBorder;
    layers.push_back(window(kFocusedSize, kFocusedChromeLeading, focusedBorder)
                         .shadow(dimmed ? Color(Palette::accent.withAlpha(0.35)) : Color::clear(),
                                 dimmed ? kGlowRadius : 0)
                         .offset(kFocusedOffset.x, kFocusedOffset.y)
                         .accessibilityIdentifier("FirstRunDemoVisual.focused"));
    return ZStack(Alignment::topLeading(), std::move(layers))
        .frame(kWidth, kHeight, Alignment::topLeading())
        .accessibilityHidden()
        .onAppear([&ctx, target = targetPhase] { syncPhase(ctx, target); })
        .onChange(targetPhase, [&ctx](FirstRunDemoPhase now) { syncPhase(ctx, now); });
}

}  // namespace talvori::ui
