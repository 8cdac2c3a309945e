#include "controlpanel/ControlPanelView.hpp"

#include "controlpanel/ControlPanelActionsSection.hpp"
#include "controlpanel/ControlPanelAppearanceSection.hpp"
#include "controlpanel/ControlPanelAttachmentSection.hpp"
#include "controlpanel/ControlPanelBehaviorSection.hpp"
#include "controlpanel/ControlPanelDivider.hpp"
#include "controlpanel/ControlPanelHeaderView.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/Palette.hpp"

namespace talvori::ui {

View ControlPanelView::body(ViewContext<NoState>&) const {
    // A cover keeps its id: read untracked, so that a change to the cover's record rebuilds only
    // the sections that show it, not the whole card.
    const UUID coverID = viewModel->model.peek().id;
    return VStack(0,
                  {
                      ControlPanelHeaderView{viewModel},
                      ControlPanelDivider{false},
                      View(ControlPanelAppearanceSection{viewModel, onSamplingBegin,
                                                         onSamplingResolve})
                          .id(presentationGeneration),
                      ControlPanelDivider{true},
                      ControlPanelBehaviorSection{viewModel, onLockChange, onClickThroughChange},
                      ControlPanelDivider{true},
                      ControlPanelAttachmentSection{viewModel, onAttach, onDetach},
                      ControlPanelDivider{true},
                      ControlPanelActionsSection{onClose, onDuplicate},
                  })
        .frame({.width = kWidth})
        .background(Color(Palette::ink))
        .clipShape(RoundedRectangle(kCornerRadius))
        .background(RoundedRectangle(kCornerRadius)
                        .fill(Color(Palette::ink))
                        .padding(EdgeInsets{kShadowTopInset, kShadowInset, 0, kShadowInset})
                        .shadow(Palette::black70, 30, 0, 20))
        .overlay(RoundedRectangle(kCornerRadius).strokeBorder(Color(Palette::white6_3), 0.5))
        .onHover([onHoverChange = onHoverChange](bool hovering) {
            if (onHoverChange) onHoverChange(hovering);
        })
        .id(coverID);
}

}  // namespace talvori::ui
