#include "controls/HeaderIconButton.hpp"

#include "controls/IconLabel.hpp"
#include "controls/InteractiveButton.hpp"
#include "covers/Palette.hpp"

namespace talvori::ui {

View HeaderIconButton::body(ViewContext<NoState>&) const {
    const auto asset = std::string(icon.rawValue());
    return View(InteractiveButton{action,
                                  [asset](bool isHovering, bool isPressed) {
                                      const Color fill = isPressed    ? Color::white(0.094)
                                                         : isHovering ? Color::white(0.059)
                                                                      : Color::clear();
                                      return assetIcon(asset, kIconSide)
                                          .foregroundColor(isHovering ? Color::white(0.8)
                                                                      : Color::white(0.48))
                                          .frame(kSide, kSide)
                                          .background(RoundedRectangle(4).fill(fill))
                                          .contentShape(Rectangle());
                                  }})
        .accessibilityLabel(label);
}

}  // namespace talvori::ui
