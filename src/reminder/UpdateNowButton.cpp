#include "reminder/UpdateNowButton.hpp"

#include "controls/InteractiveButton.hpp"
#include "covers/Palette.hpp"

namespace talvori {

using ui::Button;
using ui::Edges;
using ui::Font;
using ui::FontWeight;
using ui::InteractiveButton;
using ui::NoState;
using ui::Rectangle;
using ui::RoundedRectangle;
using ui::Text;
using ui::View;
using ui::ViewContext;

namespace {

View pillLabel(const char* title, ui::Color textColor) {
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
                                      const ui::Color fill =
                                          isPressed    ? ui::Color(Palette::accentDeep)
                                          : isHovering ? ui::Color(Palette::accentLight)
                                                       : ui::Color(Palette::accent);
                                      return pillLabel("Update", ui::Color(Palette::ink))
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
                        return pillLabel("Later", ui::Color::white(0.9))
                            .background(RoundedRectangle(6).fill(ui::Color::white(fill)))
                            .overlay(RoundedRectangle(6).strokeBorder(ui::Color::white(border), 1))
                            .contentShape(Rectangle());
                    }})
        .accessibilityLabel("Later");
}

}  // namespace talvori
