#pragma once

#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// One setting: its label at the leading edge and its control at the trailing edge.
struct SettingsRow {
    static constexpr double kSpacing = 16;
    static constexpr double kMinimumGap = 12;

    std::string title;
    std::string subtitle;
    View control;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
