#pragma once

#include "ui/UI.hpp"

namespace talvori::ui {

// The hairline between two control-panel sections: full width, or inset like the sections' text.
struct ControlPanelDivider {
    static constexpr double kInset = 16;

    bool inset = false;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
