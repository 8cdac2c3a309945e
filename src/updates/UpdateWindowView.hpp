#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/UI.hpp"

namespace talvori::updates {

// The content of the updater's window at one step of a session: a heading, a message, a progress
// bar while downloading and the step's buttons, the last one the default.
struct UpdateWindowView {
    static constexpr double kWidth = 420;
    // The window's title bar lies over the top of its content.
    static constexpr double kTitleBarHeight = 22;

    struct ButtonItem {
        std::string title;
        std::function<void()> action;
    };

    std::string title;
    std::string message;
    // 0 to 1; absent: no bar. Negative: a bar whose length is not known yet.
    std::optional<double> progress;
    std::string progressText;
    std::vector<ButtonItem> buttons;

    ui::View body(ui::ViewContext<ui::NoState>& ctx) const;
};

}  // namespace talvori::updates
