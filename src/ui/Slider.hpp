#pragma once

#include <functional>
#include <optional>

#include "ui/Animation.hpp"
#include "ui/Color.hpp"
#include "ui/View.hpp"
#include "ui/ViewContext.hpp"

namespace talvori::ui {

// How a Slider looks. The defaults are the Focus card's: a thin track filled in the accent up to a
// small accent thumb that grows while hovered or dragged.
struct SliderStyle {
    // The track is as wide as it is offered and this high; the rail is centred in it.
    double height = 16;
    // From each end of the track to the farthest the thumb's centre goes; rail and fill start and
    // end there too.
    double inset = 0;
    double railHeight = 4;
    double railCornerRadius = 2;
    Color rail = Color::white(0.08);
    Color fill = Color::rgb255(245, 160, 53, 0.6);
    double thumbDiameter = 12;
    // While hovered or dragged.
    double activeThumbDiameter = 14;
    Color thumb = Color::rgb255(245, 160, 53);
    Color draggingThumb = Color::rgb255(245, 160, 53);
    Color thumbShadow = Color::black(0.3);
    double thumbShadowRadius = 1;
    Point thumbShadowOffset{0, 1};

    // A ring drawn inside a circle `extraDiameter` wider than the thumb.
    struct Halo {
        double extraDiameter;
        double lineWidth;
        Color color;
        bool operator==(const Halo&) const = default;
    };
    std::optional<Halo> hoverHalo{};
    // Wins over the hover halo.
    std::optional<Halo> dragHalo{};
    // How the thumb grows and shrinks; none: at once.
    std::optional<Animation> thumbAnimation{};
};

// A horizontal slider that shows a position its owner passes in and reports what the pointer does:
// it keeps no state. The whole track takes the pointer: entering and leaving call onHover; a press
// anywhere on it jumps to that spot (a drag with no minimum distance), every move calls
// onDragChanged with the position under the pointer, and the release calls onDragEnded. The owner
// stores the hover and drag flags and passes them back, and maps its value to and from the
// position (0 at the leading end, 1 at the trailing end).
struct Slider {
    double fraction;
    bool isHovering = false;
    bool isDragging = false;
    std::function<void(bool)> onHover;
    std::function<void(double)> onDragChanged;
    std::function<void()> onDragEnded;
    SliderStyle style{};

    // Where the thumb's centre lies on a track `width` wide: the position clamped to 0...1 (a
    // position that is no number at 0); the middle of a track with no room between its insets.
    static double thumbCenter(double fraction, double width, double inset);
    // The position under the pointer `x` points from the track's leading edge, clamped to 0...1;
    // none on a track with no room between its insets, which then reports nothing.
    static std::optional<double> fractionAt(double x, double width, double inset);

    // Where an arrow, Page Up/Down, Home or End moves the thumb from `fraction`; none for other
    // keys, which the slider leaves to others.
    static std::optional<double> fractionAfterKey(double fraction, const KeyPress& press);

    View body(ViewContext<NoState>& ctx) const;

  private:
    AccessibilityRange accessibilityRange() const;
};

}  // namespace talvori::ui
