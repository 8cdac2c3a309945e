#include "controlpanel/ControlPanelController.hpp"

namespace talvori {

void ControlPanelController::scheduleShow(const UUID&, const Rect&) {}

void ControlPanelController::scheduleHide() {}

void ControlPanelController::repositionPanel(const UUID&, const Rect&) {}

void ControlPanelController::hidePanel(const UUID&) {}

void ControlPanelController::hideNow() {}

void ControlPanelController::shutdown() {}

}  // namespace talvori
