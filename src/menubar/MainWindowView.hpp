#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/UI.hpp"

namespace talvori {
class WindowManager;
}

namespace talvori::ui {

// The root of the menu-bar panel: a dark column of fixed width that reports its height, so that
// the panel follows it as cards come and go. For now it holds the Focus card; the header, the
// covers and the layouts join it with the panel's own views.
struct MainWindowView {
    static constexpr double kWidth = 355;
    static constexpr Color kBackground = Color::rgb255(21, 24, 32);

    // Weak: the manager owns the panel that shows this view.
    std::weak_ptr<WindowManager> windowManager;
    std::function<void(double height)> onHeightChange;
    // Opens a window scene by identifier (the settings window).
    std::function<void(const std::string& identifier)> openWindow;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
