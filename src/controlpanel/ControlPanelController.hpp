#pragma once

#include <functional>
#include <memory>

#include "platform/core/Geometry.hpp"
#include "platform/core/UUID.hpp"
#include "platform/desktop/RunningApplication.hpp"

namespace talvori {

class OverlayViewModel;

// The controller of the floating panel that stands beside the cover under the pointer. The window
// manager creates it, hands it the eight callbacks below and forwards the covers' hover and move
// reports to it. This first version keeps the callbacks and answers every report, but shows no
// panel yet: the panel and its views come with the control panel's own work.
class ControlPanelController {
  public:
    ControlPanelController(double showDelay, double switchDelay, double hideDelay)
        : showDelay(showDelay), switchDelay(switchDelay), hideDelay(hideDelay) {}
    ControlPanelController(const ControlPanelController&) = delete;
    ControlPanelController& operator=(const ControlPanelController&) = delete;

    const double showDelay;
    const double switchDelay;
    const double hideDelay;

    std::function<std::shared_ptr<OverlayViewModel>(const UUID& id)> viewModelProvider;
    std::function<void(const UUID& id)> onDuplicate;
    std::function<void(const UUID& id)> onClose;
    std::function<void(const UUID& id)> onZOrderModeChange;
    std::function<void(const UUID& id, const RunningApplication& application)> onAttach;
    std::function<void(const UUID& id)> onDetach;
    std::function<void(const UUID& id)> onLockChange;
    std::function<void(const UUID& id)> onClickThroughChange;

    // The pointer entered the cover `id` whose frame is `overlayFrame`.
    void scheduleShow(const UUID& id, const Rect& overlayFrame);
    // The pointer left a cover or the panel.
    void scheduleHide();
    // The cover `id` moved or was resized.
    void repositionPanel(const UUID& id, const Rect& overlayFrame);
    // The cover `id` is closing: the panel goes at once if it belongs to it.
    void hidePanel(const UUID& id);
    void hideNow();
    // Takes the panel away for good.
    void shutdown();
};

}  // namespace talvori
