#include "onboarding/OnboardingCTA.hpp"

#include "onboarding/OnboardingCTAButtonStyle.hpp"

namespace talvori::ui {

View OnboardingCTA::body(ViewContext<State>& ctx) const {
    auto& isFocused = ctx.state.isFocused;
    View button = Button(action, Text(title))
                      .buttonStyle(OnboardingCTAButtonStyle{})
                      .disabled(isDisabled)
                      .focused(isFocused)
                      .onAppear([&isFocused] { isFocused.set(true); });
    // The page that follows a pressed button is met at its own button, so Return goes on.
    button = button.prefersDefaultFocus();
    if (!triggersDefaultAction) return button;
    return button.keyboardShortcut(KeyboardShortcut{"", Modifiers::none, Key::returnKey});
}

}  // namespace talvori::ui
