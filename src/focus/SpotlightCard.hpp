#pragma once

#include <memory>

#include "focus/SpotlightController.hpp"
#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// The Focus section of the menu-bar panel: shows whether Focus mode is on, turns it on and off,
// and while it is on lets the user choose Dim or Glass and tune it with two sliders. It holds no
// settings: everything shown comes from the engine, and every change goes through the engine,
// which applies and stores it. The card grows by its controls while Focus is on.
struct SpotlightCard {
    std::shared_ptr<SpotlightController> spotlightController;
    bool operator==(const SpotlightCard&) const = default;

    // Hover and drag flags per slider row; they start false with each new card.
    struct State {
        Observable<bool> isHoveringOpacitySlider{false};
        Observable<bool> isDraggingOpacitySlider{false};
        Observable<bool> isHoveringGlassDimSlider{false};
        Observable<bool> isDraggingGlassDimSlider{false};
        Observable<bool> isHoveringBlurSlider{false};
        Observable<bool> isDraggingBlurSlider{false};
        Observable<bool> isHoveringFadeSlider{false};
        Observable<bool> isDraggingFadeSlider{false};
        // Ties the effect selector's highlight to the selected segment.
        MatchedGeometryNamespace effectSelectorNS;
        // The effect whose segment has the keyboard focus; -1 for none. The focus follows the
        // choice the arrows make.
        Observable<int> focusedEffect{-1};
    };

    View body(ViewContext<State>& ctx) const;

  private:
    View header(bool active) const;
    View controls(ViewContext<State>& ctx) const;
    View effectRow(ViewContext<State>& ctx, SpotlightEffect effect) const;
    View effectSegment(ViewContext<State>& ctx, SpotlightEffect segment,
                       SpotlightEffect effect) const;
    View dimOpacityRow(ViewContext<State>& ctx) const;
    View glassOpacityRow(ViewContext<State>& ctx) const;
    View fadeRow(ViewContext<State>& ctx) const;
    View blurRow(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui
