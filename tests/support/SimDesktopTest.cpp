#include "support/SimDesktopTest.hpp"

// Read by the leak checker at start-up. The font configuration library keeps allocations for the
// life of the process that no longer have a pointer to them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace talvori::testing {

SimDesktopTest::SimDesktopTest() : SimDesktopTest(sim::SimDesktop::Configuration{}) {}

SimDesktopTest::SimDesktopTest(sim::SimDesktop::Configuration configuration)
    : desktop_(sim::SimDesktop::install(platform(), std::move(configuration))) {}

std::shared_ptr<Panel> SimDesktopTest::makePanel(const Rect& frame) const {
    return platform().application().makePanel(frame, StyleMask::nonactivatingPanel);
}

std::vector<std::uint32_t> SimDesktopTest::windowNumbersFrontToBack() const {
    std::vector<std::uint32_t> numbers;
    const auto list = platform().windowList().copyWindowInfo(
        WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements);
    if (!list) return numbers;
    for (const WindowInfo& info : *list) {
        if (info.number) numbers.push_back(*info.number);
    }
    return numbers;
}

}  // namespace talvori::testing
