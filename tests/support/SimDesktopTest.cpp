#include "support/SimDesktopTest.hpp"

namespace talvori::testing {

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
