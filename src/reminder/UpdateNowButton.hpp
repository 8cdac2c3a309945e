#pragma once

#include <functional>

#include "ui/UI.hpp"

namespace talvori {

// The amber "Update" pill of the update row and the update callout.
struct UpdateNowButton {
    std::function<void()> action;

    ui::View body(ui::ViewContext<ui::NoState>& ctx) const;
};

// The callout's quiet "Later" button beside the pill.
struct UpdateLaterButton {
    std::function<void()> action;

    ui::View body(ui::ViewContext<ui::NoState>& ctx) const;
};

}  // namespace talvori
