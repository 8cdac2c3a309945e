#include "controlpanel/ControlPanelSegmentButton.hpp"

#include <cctype>

#include "controls/InteractiveButton.hpp"
#include "covers/Palette.hpp"

namespace talvori::ui {

namespace {

// The word as said, not spelled: "GLASS" is read "Glass".
std::string spokenLabel(const std::string& shown) {
    std::string spoken = shown;
    for (std::size_t index = 1; index < spoken.size(); ++index)
        spoken[index] = static_cast<char>(std::tolower(static_cast<unsigned char>(spoken[index])));
    return spoken;
}

}  // namespace

Color ControlPanelSegmentButton::fill(bool isActive, bool isHovering, bool isPressed) {
    if (isPressed) return isActive ? Palette::accentDeep : Palette::white10;
    if (isHovering) return isActive ? Palette::accentLight : Palette::white6_3;
    return isActive ? Palette::accent : Color::clear();
}

View ControlPanelSegmentButton::body(ViewContext<NoState>&) const {
    const bool active = isActive;
    const std::string title = label;
    return View(InteractiveButton{action,
                                  [active, title](bool isHovering, bool isPressed) {
                                      return Text(title)
                                          .font(Font::system(11, FontWeight::semibold))
                                          .foregroundColor(active ? Palette::ink : Palette::white27)
                                          .frame({.height = kHeight, .maxWidth = infinity})
                                          .background(RoundedRectangle(4).fill(
                                              fill(active, isHovering, isPressed)));
                                  }})
        .accessibilityLabel(spokenLabel(label));
}

}  // namespace talvori::ui
