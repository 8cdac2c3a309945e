#pragma once

#include <functional>

#include "reminder/UpdateReminder.hpp"
#include "ui/UI.hpp"

namespace talvori {

// The update callout's bubble under (or above) the status item: the found version, its summary,
// "Later" and "Update".
struct UpdateCalloutView {
    static constexpr double kWidth = 236;

    UpdateReminder::PendingUpdate update;
    double beakCenterX = kWidth / 2;
    std::function<void()> onLater;
    std::function<void()> onUpdate;
    bool beakPointsDown = false;

    ui::View body(ui::ViewContext<ui::NoState>& ctx) const;
};

}  // namespace talvori
