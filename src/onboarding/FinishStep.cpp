#include "onboarding/FinishStep.hpp"

#include "onboarding/AccessibilityGrantControl.hpp"
#include "onboarding/FirstRunDemoVisual.hpp"
#include "onboarding/OnboardingCTA.hpp"
#include "onboarding/StepBody.hpp"
#include "onboarding/StepHeadline.hpp"

namespace talvori::ui {

const std::vector<std::string>& FinishStep::lines(FinishVariant variant) {
    static const std::vector<std::string> granted{"Focus follows your window from here on.",
                                                  "Talvori lives in your system tray."};
    static const std::vector<std::string> skipped{"Covers are ready."};
    return variant == FinishVariant::granted ? granted : skipped;
}

namespace {

std::string spokenSummary(const std::vector<std::string>& lines) {
    std::string summary = "You're set.";
    for (const auto& line : lines) summary += " " + line;
    return summary;
}

}  // namespace

View FinishStep::body(ViewContext<NoState>&) const {
    const bool isGranted = variant == FinishVariant::granted;
    const auto& shown = lines(variant);
    std::vector<std::size_t> positions(shown.size());
    for (std::size_t index = 0; index < shown.size(); ++index) positions[index] = index;
    const View grantLink = isGranted
                               ? View()
                               : View(AccessibilityGrantControl{
                                          AccessibilityGrantControl::Style::link, onGrantedInPlace})
                                     .padding(Edges::top, 6);
    return VStack(HorizontalAlignment::center, 0,
                  {View(StepHeadline{"You're set"}).padding(Edges::bottom, 20),
                   View(FirstRunDemoVisual{isGranted ? FirstRunDemoPhase::dimmed
                                                     : FirstRunDemoPhase::undimmed})
                       .padding(Edges::bottom, 16),
                   ForEach(
                       positions, [](std::size_t index) { return index; },
                       [&shown](std::size_t index) {
                           return View(StepBody{shown[index], 340})
                               .padding(Edges::top, index == 0 ? 0 : 6);
                       }),
                   grantLink,
                   View(OnboardingCTA{"Start using Talvori", false, true, onStart})
                       .padding(Edges::top, 24)})
        // Named by its heading and text, which a reader says as the focus comes into the page.
        .accessibilityElement(AccessibilityChildren::contain)
        .accessibilityLabel(spokenSummary(shown));
}

}  // namespace talvori::ui
