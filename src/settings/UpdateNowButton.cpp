#include "settings/UpdateNowButton.hpp"

#include "covers/Palette.hpp"
#include "menubar/InteractiveButton.hpp"

namespace talvori {

using namespace ui;

namespace {

View pillLabel(const char* title, Color textColor) {
    return Text(title)
        .font(Font::system(12, FontWeight::semibold))
        .foregroundColor(textColor)
        .padding(Edges::vertical, 6)
        .padding(Edges::horizontal, 11);
}

}  // namespace

View UpdateNowButton::body(ViewContext<NoState>&) const {
    return View(InteractiveButton{action,
                                  [](bool isHovering, bool isPressed) {
                                      const Color fill = isPressed    ? Palette::accentDeep
                                                         : isHovering ? Palette::accentLight
                                                                      : Palette::accent;
                                      return pillLabel("Update", Palette::ink)
                                          .background(RoundedRectangle(6).fill(fill))
                                          .contentShape(Rectangle());
                                  }})
        .accessibilityLabel("Update Talvori");
}

View UpdateLaterButton::body(ViewContext<NoState>&) const {
    return View(InteractiveButton{
                    action,
                    [](bool isHovering, bool isPressed) {
                        const double fill = isPressed ? 0.15 : isHovering ? 0.12 : 0.09;
                        const double border = isHovering || isPressed ? 0.22 : 0.19;
                        return pillLabel("Later", Palette::white(0.9))
                            .background(RoundedRectangle(6).fill(Palette::white(fill)))
                            .overlay(RoundedRectangle(6).strokeBorder(Palette::white(border), 1))
                            .contentShape(Rectangle());
                    }})
        .accessibilityLabel("Later");
}

}  // namespace talvori
