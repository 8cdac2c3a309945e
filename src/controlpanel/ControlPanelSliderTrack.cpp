#include "controlpanel/ControlPanelSliderTrack.hpp"

#include "covers/Palette.hpp"

namespace talvori::ui {

const SliderStyle& ControlPanelSliderTrack::style() {
    static const SliderStyle style{
        .height = 16,
        .inset = 12,
        .railHeight = 4,
        .railCornerRadius = 2,
        .rail = Palette::white6_3,
        .fill = Palette::accent,
        .thumbDiameter = 14,
        .activeThumbDiameter = 16,
        .thumb = Color::white(),
        .draggingThumb = Palette::accent,
        .thumbShadow = Palette::black40,
        .thumbShadowRadius = 2,
        .thumbShadowOffset = {0, 1},
        .hoverHalo = SliderStyle::Halo{6, 3, Palette::white(0.13)},
        .dragHalo = SliderStyle::Halo{8, 4, Palette::accentTint25},
        .thumbAnimation = std::nullopt,
    };
    return style;
}

View ControlPanelSliderTrack::body(ViewContext<NoState>&) const {
    return Slider{fraction, isHovering, isDragging, onHover, onDragChanged, onDragEnded, style()};
}

}  // namespace talvori::ui
