#include "ui/Slider.hpp"

#include <algorithm>
#include <cmath>

#include "ui/AccessibilityNode.hpp"
#include "ui/GeometryReader.hpp"
#include "ui/Shape.hpp"
#include "ui/Stack.hpp"

namespace talvori::ui {

namespace {

double clampedFraction(double fraction) {
    return std::isnan(fraction) ? 0 : std::clamp(fraction, 0.0, 1.0);
}

View halo(const std::optional<SliderStyle::Halo>& halo, double thumbDiameter) {
    if (!halo) return View();
    const double diameter = thumbDiameter + halo->extraDiameter;
    return Circle().strokeBorder(halo->color, halo->lineWidth).frame(diameter, diameter);
}

constexpr double kArrowStep = 0.05;
constexpr double kPageStep = 0.2;

}  // namespace

std::optional<double> Slider::fractionAfterKey(double fraction, const KeyPress& press) {
    if (press.modifiers != Modifiers::none) return std::nullopt;
    const double from = clampedFraction(fraction);
    switch (press.key) {
        case Key::leftArrow:
        case Key::downArrow:
            return std::max(from - kArrowStep, 0.0);
        case Key::rightArrow:
        case Key::upArrow:
            return std::min(from + kArrowStep, 1.0);
        case Key::pageDown:
            return std::max(from - kPageStep, 0.0);
        case Key::pageUp:
            return std::min(from + kPageStep, 1.0);
        case Key::home:
            return 0.0;
        case Key::end:
            return 1.0;
        default:
            return std::nullopt;
    }
}

double Slider::thumbCenter(double fraction, double width, double inset) {
    const double room = width - 2 * inset;
    if (!(room > 0)) return std::isfinite(width) ? std::max(width, 0.0) / 2 : 0;
    return inset + clampedFraction(fraction) * room;
}

std::optional<double> Slider::fractionAt(double x, double width, double inset) {
    const double room = width - 2 * inset;
    if (!(room > 0) || !std::isfinite(room)) return std::nullopt;
    return clampedFraction((x - inset) / room);
}

View Slider::body(ViewContext<NoState>&) const {
    return GeometryReader([slider = *this](Size size) {
               const auto& style = slider.style;
               const double inset = style.inset;
               const double center = thumbCenter(slider.fraction, size.width, inset);
               const bool isActive = slider.isHovering || slider.isDragging;
               const double diameter = isActive ? style.activeThumbDiameter : style.thumbDiameter;
               const auto& ring = slider.isDragging   ? style.dragHalo
                                  : slider.isHovering ? style.hoverHalo
                                                      : std::optional<SliderStyle::Halo>();
               View thumb = Circle()
                                .fill(slider.isDragging ? style.draggingThumb : style.thumb)
                                .frame(diameter, diameter)
                                .shadow(style.thumbShadow, style.thumbShadowRadius,
                                        style.thumbShadowOffset.x, style.thumbShadowOffset.y);
               if (style.hoverHalo || style.dragHalo) thumb = thumb.overlay(halo(ring, diameter));
               thumb =
                   thumb.offset(center - diameter / 2, 0).animation(style.thumbAnimation, isActive);
               DragGesture drag{.minimumDistance = 0};
               drag.onChanged = [changed = slider.onDragChanged, width = size.width,
                                 inset](const DragValue& value) {
                   if (const auto fraction = fractionAt(value.location.x, width, inset);
                       fraction && changed)
                       changed(*fraction);
               };
               drag.onEnded = [ended = slider.onDragEnded](const DragValue&) {
                   if (ended) ended();
               };
               const double rail = std::max(size.width - 2 * inset, 0.0);
               return ZStack(Alignment::leading(),
                             {
                                 RoundedRectangle(style.railCornerRadius)
                                     .fill(style.rail)
                                     .frame(rail, style.railHeight)
                                     .offset(inset, 0),
                                 RoundedRectangle(style.railCornerRadius)
                                     .fill(style.fill)
                                     .frame(std::max(center - inset, 0.0), style.railHeight)
                                     .offset(inset, 0),
                                 thumb,
                             })
                   .frame(size.width, size.height, Alignment::leading())
                   .contentShape(Rectangle())
                   .onHover([hover = slider.onHover](bool hovering) {
                       if (hover) hover(hovering);
                   })
                   .gesture(std::move(drag));
           })
        .frame({.height = style.height})
        .keyboardFocusable()
        .onKeyPress([fraction = fraction, changed = onDragChanged,
                     ended = onDragEnded](const KeyPress& press) {
            const auto moved = fractionAfterKey(fraction, press);
            if (!moved) return false;
            if (changed) changed(*moved);
            if (ended) ended();
            return true;
        })
        .accessibilityRange(accessibilityRange());
}

// A screen reader reads and sets the position in percent of the track, each move as a press and
// release at that spot would make it.
AccessibilityRange Slider::accessibilityRange() const {
    return {.value = clampedFraction(fraction) * 100,
            .minimum = 0,
            .maximum = 100,
            .step = 1,
            .set = [changed = onDragChanged, ended = onDragEnded](double percent) {
                if (!std::isfinite(percent)) return;
                if (changed) changed(std::clamp(percent / 100, 0.0, 1.0));
                if (ended) ended();
            }};
}

}  // namespace talvori::ui
