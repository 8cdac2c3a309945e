#pragma once

#include <functional>
#include <memory>

#include "ui/UI.hpp"

namespace talvori {
class OverlayViewModel;
}

namespace talvori::ui {

// "BEHAVIOR": the cover's click-through and lock, as two toggles that follow changes made
// anywhere else.
struct ControlPanelBehaviorSection {
    std::shared_ptr<OverlayViewModel> viewModel;
    std::function<void()> onLockChange;
    std::function<void()> onClickThroughChange;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
