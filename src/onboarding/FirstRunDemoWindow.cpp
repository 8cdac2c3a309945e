#include "onboarding/FirstRunDemoWindow.hpp"

namespace talvori {

const std::vector<FirstRunDemoWindow>& FirstRunDemoWindow::backgroundWindows() {
    static const std::vector<FirstRunDemoWindow> windows{
        {0, {120, 76}, {36, 18}, 8},
        {1, {100, 64}, {224, 44}, 34},
    };
    return windows;
}

}  // namespace talvori
