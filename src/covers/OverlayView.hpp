#pragma once

#include <functional>
#include <memory>

#include "covers/BlurHostView.hpp"
#include "covers/OverlayViewModel.hpp"
#include "ui/UI.hpp"

namespace talvori {

// What fills a cover's window: a solid colour, or frosted glass over the window server's blur of
// what lies behind; the handles; the position readout while the cover moves or resizes; an
// outline when the cover is highlighted; and a border that flashes once when asked to.
struct OverlayView {
    static constexpr double kHighlightOpacity = 0.5;
    static constexpr double kHighlightDuration = 0.2;
    static constexpr double kFlashDuration = 1.2;

    std::shared_ptr<OverlayViewModel> viewModel;
    // Told when the pointer enters (true) or leaves (false) the cover.
    std::function<void(bool)> onHoverChange;
    // The glass's link to the window server, kept by whoever shows the view in a window.
    std::shared_ptr<BlurHostView> blurHost;

    struct State {
        Observable<double> borderOpacity{0};
        Observable<double> highlightOpacity{0};
    };

    ui::View body(ui::ViewContext<State>& context) const;

  private:
    void flashBorder(ui::ViewContext<State>& context) const;
};

}  // namespace talvori
