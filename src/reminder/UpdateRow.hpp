#pragma once

#include <functional>

#include "reminder/UpdateReminder.hpp"
#include "ui/UI.hpp"

namespace talvori {

// The row at the top of the menu-bar panel while an update is pending.
struct UpdateRow {
    UpdateReminder::PendingUpdate update;
    std::function<void()> onUpdate;

    ui::View body(ui::ViewContext<ui::NoState>& ctx) const;
};

}  // namespace talvori
