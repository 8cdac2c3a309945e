#include "ui/BorderedButtonStyle.hpp"

#include "ui/Shape.hpp"

namespace talvori::ui {

namespace {

constexpr double kHeight = 24;
constexpr double kCornerRadius = 6;
constexpr double kMinimumWidth = 72;
constexpr Color kAccent = Color::rgb255(245, 160, 53);
constexpr Color kAccentPressed = Color::rgb255(212, 138, 37);
// Disabled buttons keep their place and shape but fade back, as the platform's own do.
constexpr double kDisabledOpacity = 0.4;

}  // namespace

View BorderedButtonStyle::operator()(const ButtonConfiguration& configuration) const {
    const bool pressed = configuration.isPressed && configuration.isEnabled;
    const Color fill =
        isProminent ? (pressed ? kAccentPressed : kAccent) : Color::white(pressed ? 0.22 : 0.12);
    const Color text = isProminent ? Color::black(0.88) : Color::white(0.9);
    const Color border = isProminent ? Color::clear() : Color::white(0.16);
    return configuration.label.font(Font::system(13))
        .foregroundColor(text)
        .lineLimit(1)
        .padding(Edges::horizontal, 14)
        .frame({.height = kHeight, .minWidth = kMinimumWidth})
        .background(RoundedRectangle(kCornerRadius).fill(fill))
        .overlay(RoundedRectangle(kCornerRadius).strokeBorder(border, 1))
        .contentShape(RoundedRectangle(kCornerRadius))
        .opacity(configuration.isEnabled ? 1 : kDisabledOpacity);
}

}  // namespace talvori::ui
