#pragma once

#include <memory>

#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori {
class Session;
}

namespace talvori::ui {

// "+ New cover", also Command-N while the panel is key. Prominent, it stands out even without the
// pointer on it: the panel asks for that while no cover is open.
struct NewCoverButton {
    static constexpr double kHoverDuration = 0.15;

    std::weak_ptr<Session> session;
    bool prominent = false;

    struct State {
        Observable<bool> isHovering{false};
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui
