#include "onboarding/AccessibilityGrantControl.hpp"

#include <limits>

#include "covers/Palette.hpp"
#include "covers/PermissionManager.hpp"
#include "onboarding/OnboardingCTA.hpp"
#include "onboarding/boxed.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/Accessibility.hpp"

namespace talvori::ui {

namespace {

using Phase = AccessibilityGrantPhase;
using State = AccessibilityGrantControl::State;

constexpr double kBoxWidth = 240;
constexpr double kBoxHeight = 40;
constexpr double kBoxCornerRadius = 10;

// The trust check itself, never the system's prompt: the user is already on the settings page.
bool isAccessibilityTrustedDefault() {
    return platform().accessibility().isProcessTrusted();
}

void setPhase(State& state, Phase phase, const Environment& environment) {
    withAnimation(environment.animation(Animation::easeOut(0.2)), [&] { state.phase.set(phase); });
}

Async reportGrantAfterTheBadge(std::function<void()> onGranted) {
    co_await Task::sleep(AccessibilityGrantControl::kGrantedDelay);
    if (!Task::isCurrentCancelled() && onGranted) onGranted();
}

Async pollUntilGranted(std::weak_ptr<State> weak, std::function<void()> onGranted,
                       Environment environment) {
    std::int64_t checks = 0;
    while (!Task::isCurrentCancelled()) {
        // An interrupted sleep is no error: the cancellation check right after decides.
        co_await Task::sleep(AccessibilityGrantControl::kPollInterval);
        if (Task::isCurrentCancelled()) co_return;
        if (checks < std::numeric_limits<std::int64_t>::max()) ++checks;
        const bool trusted = isAccessibilityTrustedDefault();
        {
            const auto state = weak.lock();
            if (!state) co_return;
            const Phase next =
                AccessibilityGrantControl::nextPhase(state->phase.peek(), trusted, checks);
            if (next != state->phase.peek()) setPhase(*state, next, environment);
            if (next != Phase::granted) continue;
        }
        co_await Task::sleep(AccessibilityGrantControl::kGrantedDelay);
        if (!Task::isCurrentCancelled() && onGranted) onGranted();
        co_return;
    }
}

// A desktop that trusts every program (X11 has no such permission) has no settings page to send
// the user to and nothing to wait for: the badge shows at once.
void startGrant(ViewContext<State>& ctx, const std::function<void()>& onGranted) {
    if (ctx.state.phase.peek() != Phase::idle) return;
    if (isAccessibilityTrustedDefault()) {
        setPhase(ctx.state, Phase::granted, ctx.environment());
        ctx.state.pollTask.replace(Task::start(
            platform().runLoop(), [onGranted] { return reportGrantAfterTheBadge(onGranted); }));
        return;
    }
    PermissionManager::shared()->openAccessibilitySettings();
    setPhase(ctx.state, Phase::waiting, ctx.environment());
    ctx.state.pollTask.replace(Task::start(
        platform().runLoop(), [weak = ctx.weakState(), onGranted, environment = ctx.environment()] {
            return pollUntilGranted(weak, onGranted, environment);
        }));
}

View grantLink(std::function<void()> press) {
    return Button(std::move(press),
                  Text("Grant Accessibility to let Focus follow your window \u00BB")
                      .font(Font::system(12.5))
                      .foregroundColor(Palette::accent)
                      .underline());
}

View statusBox() {
    return boxed(
        HStack(VerticalAlignment::center, 8,
               {ProgressSpinner(),
                Text("Waiting for your desktop\u2026").font(Font::system(13, FontWeight::medium))})
            .foregroundColor(Palette::white80)
            .frame(kBoxWidth, kBoxHeight),
        Color::white(0.05), Color::white(0.12), kBoxCornerRadius);
}

View stuckNote() {
    return boxed(Text("Switch is on but nothing changed? Your desktop granted another copy of "
                      "Talvori. Quit it, open Talvori again from your applications menu, and the "
                      "permission sticks.")
                     .font(Font::system(12))
                     .foregroundColor(Palette::white80)
                     .multilineTextAlignment(TextAlignment::leading)
                     .fixedSize(false, true)
                     .padding(10)
                     .frame({.width = 360, .alignment = Alignment::leading()}),
                 Palette::accent.withAlpha(0.08), Palette::accent.withAlpha(0.25), 8);
}

View waitingView(bool isStuck) {
    return VStack(HorizontalAlignment::center, 8,
                  {statusBox(),
                   Text("Flip the Talvori switch in your desktop's settings \u2014 this step "
                        "finishes itself.")
                       .font(Font::system(12))
                       .foregroundColor(Color::white(0.5))
                       .multilineTextAlignment(TextAlignment::center)
                       .fixedSize(false, true)
                       .frame({.width = 320}),
                   isStuck ? stuckNote() : View()});
}

View grantedBadge() {
    return boxed(Text("\u2713 Granted")
                     .font(Font::system(14, FontWeight::semibold))
                     .foregroundColor(Palette::green)
                     .frame(kBoxWidth, kBoxHeight),
                 Palette::green.withAlpha(0.12), Palette::green.withAlpha(0.35), kBoxCornerRadius)
        .accessibilityElement(AccessibilityChildren::ignore)
        .accessibilityLabel("Accessibility granted");
}

}  // namespace

AccessibilityGrantPhase AccessibilityGrantControl::nextPhase(AccessibilityGrantPhase current,
                                                             bool trusted, std::int64_t checks) {
    if (current == Phase::granted || trusted) return Phase::granted;
    if (current == Phase::stuck || checks >= kChecksBeforeStuck) return Phase::stuck;
    return Phase::waiting;
}

View AccessibilityGrantControl::body(ViewContext<State>& ctx) const {
    auto press = [&ctx, onGranted = onGranted] { startGrant(ctx, onGranted); };
    const Phase phase = ctx.state.phase();
    // The old phase leaves at once while the new one fades in, so that two phases' texts are
    // never drawn over each other; the stuck note joins the waiting box, which stays.
    const Phase look = phase == Phase::stuck ? Phase::waiting : phase;
    return phaseContent(phase, std::move(press))
        .transition(Transition::asymmetric(Transition::opacity(), Transition::identity()))
        .id(static_cast<int>(look));
}

View AccessibilityGrantControl::phaseContent(AccessibilityGrantPhase phase,
                                             std::function<void()> press) const {
    switch (phase) {
        case Phase::idle:
            if (style == Style::link) return grantLink(std::move(press));
            return OnboardingCTA{"Grant Accessibility", false, true, std::move(press)};
        case Phase::waiting:
            return waitingView(false);
        case Phase::stuck:
            return waitingView(true);
        case Phase::granted:
            return grantedBadge();
    }
    return View();
}

}  // namespace talvori::ui
