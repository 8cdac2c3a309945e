#pragma once

#include <memory>

#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori {
class Session;
}

namespace talvori::ui {

// "Undo close all", with a bar behind it that drains from full to empty over the time the undo
// stays possible. The bar is only a picture of that time: the window current ends the offer.
struct UndoCloseAllLink {
    static constexpr double kDrainDuration = 8.0;

    std::weak_ptr<Session> session;

    struct State {
        Observable<bool> isHovering{false};
        // The share of the link the bar covers.
        Observable<double> fillFraction{1.0};
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui
