#include "onboarding/PermissionStep.hpp"

#include "covers/Palette.hpp"
#include "onboarding/AccessibilityGrantControl.hpp"
#include "onboarding/FirstRunDemoVisual.hpp"
#include "onboarding/StepBody.hpp"
#include "onboarding/StepHeadline.hpp"

namespace talvori::ui {

namespace {

constexpr const char* kHeadline = "Talvori is almost ready";
constexpr const char* kText =
    "Focus needs Accessibility to dim everything behind your active "
    "window. It's also how covers snap to a window's edges.";

}  // namespace

View PermissionStep::body(ViewContext<NoState>&) const {
    const View privacyLink =
        Link("No screen content is captured, recorded, or transmitted \u00BB", kPrivacyPage)
            .font(Font::system(12.5))
            .foregroundColor(Palette::accent);
    const View skip = Button(
        onSkip,
        Text("Skip for now").font(Font::system(12)).foregroundColor(Color::white(0.4)).underline());
    return VStack(HorizontalAlignment::center, 0,
                  {StepHeadline{kHeadline},
                   View(FirstRunDemoVisual{FirstRunDemoPhase::undimmed})
                       .padding(EdgeInsets{20, 0, 16, 0}),
                   StepBody{kText, 380}, privacyLink.padding(Edges::top, 10),
                   View(AccessibilityGrantControl{AccessibilityGrantControl::Style::cta, onGranted})
                       .padding(Edges::top, 20),
                   skip.padding(Edges::top, 12)})
        // Named by its heading and text, which a reader says as the focus comes into the page.
        .accessibilityElement(AccessibilityChildren::contain)
        .accessibilityLabel(std::string(kHeadline) + ". " + kText);
}

}  // namespace talvori::ui
