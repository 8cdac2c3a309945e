#include "onboarding/WelcomeStep.hpp"

#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "covers/Palette.hpp"
#include "onboarding/OnboardingCTA.hpp"
#include "onboarding/StepBody.hpp"
#include "onboarding/StepHeadline.hpp"
#include "onboarding/boxed.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Input.hpp"
#include "session/ShortcutNames.hpp"
#include "session/ShortcutText.hpp"

namespace talvori::ui {

namespace {

using Chip = WelcomeShortcutChip;
using State = WelcomeStep::State;

struct ChipLook {
    View icon;
    const char* title;
    const char* description;
    const GlobalShortcuts::Name& name;
};

ChipLook lookOf(Chip chip) {
    if (chip == Chip::focus) {
        return {Image("sun.max").foregroundColor(Palette::accent), "Focus",
                "dim or blur around a window", ShortcutNames::toggleFocus()};
    }
    return {Image("icon-layers").resizable().foregroundColor(Palette::white80), "Covers",
            "hide any region completely", ShortcutNames::newCover()};
}

// A combination the desktop holds would never reach us once set up: not offered as one to try.
std::string keycapText(const std::optional<GlobalShortcuts::Shortcut>& shortcut) {
    if (!shortcut) return "Not set";
    return shortcut->isTakenBySystem() ? "Taken" : shortcutText(*shortcut);
}

View keycap(const std::optional<GlobalShortcuts::Shortcut>& shortcut, bool lit) {
    return Text(keycapText(shortcut))
        .font(Font::system(12, FontWeight::semibold))
        .foregroundColor(lit ? Color(Palette::ink) : Color(Palette::white80))
        .padding(EdgeInsets{4, 8, 4, 8})
        .background(View(lit ? Color(Palette::accent) : Color::white(0.08)))
        .clipShape(RoundedRectangle(5));
}

View chipRow(Chip chip, bool lit) {
    const ChipLook look = lookOf(chip);
    const View row = HStack(
        VerticalAlignment::center, 12,
        {look.icon.font(Font::system(13, FontWeight::medium)).frame(16, 16).accessibilityHidden(),
         Text(look.title)
             .font(Font::system(13, FontWeight::medium))
             .foregroundColor(Color::white(0.9)),
         Text(look.description).font(Font::system(12)).foregroundColor(Color::white(0.5)),
         Spacer(8), keycap(look.name.shortcut(), lit)});
    return boxed(row.padding(EdgeInsets{11, 14, 11, 14}), Palette::white2_4, Palette::white6, 9);
}

void markTried(const std::weak_ptr<State>& weak, State& state, Chip chip,
               const Environment& environment) {
    state.resetTask.cancel();
    withAnimation(environment.animation(Animation::easeOut(0.15)), [&] { state.tried.set(chip); });
    state.resetTask.replace(Task::start(platform().runLoop(), [weak, environment]() -> Async {
        co_await Task::sleep(WelcomeStep::kTriedDuration);
        if (Task::isCurrentCancelled()) co_return;
        withOwner(weak, [&](auto& state) {
            withAnimation(environment.animation(Animation::easeOut(0.3)),
                          [&] { state.tried.set(std::nullopt); });
        });
    }));
}

// Which chip the event's combination belongs to; Focus wins when both hold the same one.
std::optional<Chip> chipPressed(const GlobalShortcuts::Shortcut& pressed) {
    const auto focus = ShortcutNames::toggleFocus().shortcut();
    const auto cover = ShortcutNames::newCover().shortcut();
    if (focus && *focus == pressed) return Chip::focus;
    if (cover && *cover == pressed) return Chip::newCover;
    return std::nullopt;
}

std::optional<Event> handleKeyDown(const std::weak_ptr<State>& weak, const Environment& environment,
                                   const Event& event) {
    platform().runLoop().assertMainThread();
    const auto state = weak.lock();
    if (!state) return event;
    const auto pressed = GlobalShortcuts::Shortcut::fromEvent(event);
    if (!pressed) return event;
    const auto chip = chipPressed(*pressed);
    if (!chip) return event;
    markTried(weak, *state, *chip, environment);
    return std::nullopt;
}

void installKeyMonitor(ViewContext<State>& ctx) {
    if (ctx.state.keyMonitor) return;
    ctx.state.keyMonitor = platform().input().addLocalMonitor(
        eventMaskBit(EventType::keyDown),
        [weak = ctx.weakState(), environment = ctx.environment()](const Event& event) {
            return handleKeyDown(weak, environment, event);
        });
}

void removeKeyMonitor(State& state) {
    state.keyMonitor.reset();
    state.resetTask.cancel();
}

}  // namespace

namespace {

constexpr const char* kHeadline = "Clear what matters";
constexpr const char* kText =
    "Dim or blur everything outside your active window \u2014 or cover the parts of your screen "
    "you want gone.";

}  // namespace

View WelcomeStep::body(ViewContext<State>& ctx) const {
    const auto tried = ctx.state.tried();
    const View chips = VStack(HorizontalAlignment::center, 8,
                              {chipRow(Chip::focus, tried == Chip::focus),
                               chipRow(Chip::newCover, tried == Chip::newCover)})
                           .frame({.width = 360});
    const View note = Text("It'll work the moment you finish setup.")
                          .font(Font::system(12))
                          .foregroundColor(Palette::accent)
                          .frame({.height = 16})
                          .opacity(tried ? 1 : 0)
                          .accessibilityHidden(!tried);
    return VStack(HorizontalAlignment::center, 0,
                  {StepHeadline{kHeadline}, View(StepBody{kText, 340}).padding(Edges::top, 8),
                   chips.padding(Edges::top, 22), note.padding(Edges::top, 10),
                   View(OnboardingCTA{"Continue", false, true, onNext}).padding(Edges::top, 18)})
        // Named by its heading and text, which a reader says as the focus comes into the page.
        .accessibilityElement(AccessibilityChildren::contain)
        .accessibilityLabel(std::string(kHeadline) + ". " + kText)
        .onAppear([&ctx] { installKeyMonitor(ctx); })
        .onDisappear([&ctx] { removeKeyMonitor(ctx.state); });
}

}  // namespace talvori::ui
