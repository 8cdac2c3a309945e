#pragma once

#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// The small upper-case title of a control-panel section ("BEHAVIOR").
struct ControlPanelSectionLabel {
    std::string text;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
