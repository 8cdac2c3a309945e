#include "controlpanel/ControlPanelBehaviorSection.hpp"

#include "controlpanel/ControlPanelSectionLabel.hpp"
#include "controlpanel/ControlPanelToggleButton.hpp"
#include "covers/OverlayViewModel.hpp"

namespace talvori::ui {

View ControlPanelBehaviorSection::body(ViewContext<NoState>&) const {
    const auto& model = viewModel;
    return VStack(
               HorizontalAlignment::leading, 12,
               {
                   ControlPanelSectionLabel{"BEHAVIOR"},
                   HStack(
                       10,
                       {
                           ControlPanelToggleButton{
                               LucideIcon::pointerClick, "PASSTHRU", model->isClickThroughEnabled(),
                               [model, notify = onClickThroughChange] {
                                   model->setClickThroughEnabled(
                                       !model->model.peek().isClickThroughEnabled);
                                   if (notify) notify();
                               }},
                           ControlPanelToggleButton{LucideIcon::lock, "LOCKED", model->isLocked(),
                                                    [model, notify = onLockChange] {
                                                        model->isLocked.set(
                                                            !model->isLocked.peek());
                                                        if (notify) notify();
                                                    }},
                       }),
               })
        .padding(EdgeInsets{14, 16, 14, 16});
}

}  // namespace talvori::ui
