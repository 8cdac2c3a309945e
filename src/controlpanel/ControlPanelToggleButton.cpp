#include "controlpanel/ControlPanelToggleButton.hpp"

#include "controls/InteractiveButton.hpp"
#include "covers/Palette.hpp"

namespace talvori::ui {

Color ControlPanelToggleButton::fill(bool isHovering, bool isPressed) {
    if (isPressed) return Palette::white9_4;
    return isHovering ? Palette::white5_9 : Palette::white2_4;
}

Color ControlPanelToggleButton::border(bool isActive, bool isHovering, bool isPressed) {
    if (isPressed) return isActive ? Palette::accentTint459 : Palette::white18_8;
    if (isHovering) return isActive ? Palette::accentTint376 : Palette::white14_5;
    return isActive ? Palette::accentTint25 : Palette::white8_2;
}

View ControlPanelToggleButton::body(ViewContext<NoState>&) const {
    const bool active = isActive;
    const std::string title = label;
    const std::string asset(icon.rawValue());
    return View(InteractiveButton{
                    action,
                    [active, title, asset](bool isHovering, bool isPressed) {
                        return HStack(6,
                                      {
                                          Image(asset).resizable().frame(12, 12),
                                          Text(title).font(Font::system(10, FontWeight::semibold)),
                                      })
                            .foregroundColor(active ? Palette::accent : Palette::white27)
                            .frame({.maxWidth = infinity})
                            .padding(Edges::vertical, 7)
                            .background(RoundedRectangle(4).fill(fill(isHovering, isPressed)))
                            .overlay(RoundedRectangle(4).strokeBorder(
                                border(active, isHovering, isPressed), 1));
                    }})
        .accessibilityLabel(label)
        .accessibilityAddTraits(isActive ? AccessibilityTrait::isSelected
                                         : AccessibilityTrait::none)
        .accessibilityHint(isActive ? "Press Space to disable" : "Press Space to enable");
}

}  // namespace talvori::ui
