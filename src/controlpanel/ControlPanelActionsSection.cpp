#include "controlpanel/ControlPanelActionsSection.hpp"

#include <string>

#include "controls/InteractiveButton.hpp"
#include "covers/Palette.hpp"

namespace talvori::ui {

const ControlPanelActionsSection::Look ControlPanelActionsSection::kCloseLook{
    Palette::red,
    {Palette::white2_4, Palette::white5_9, Palette::white9_4},
    {Palette::redTint19, Palette::redTint271, Palette::redTint376}};
const ControlPanelActionsSection::Look ControlPanelActionsSection::kDuplicateLook{
    Palette::white33,
    {Palette::white2_4, Palette::white5_9, Palette::white9_4},
    {Palette::white8_2, Palette::white14_5, Palette::white18_8}};

namespace {

View actionButton(std::function<void()> action, std::string icon, std::string title,
                  const ControlPanelActionsSection::Look& look) {
    return InteractiveButton{
        [action = std::move(action)] {
            if (action) action();
        },
        [icon, title, look](bool isHovering, bool isPressed) {
            // Pressed wins over hovered.
            const int state = isPressed ? 2 : isHovering ? 1 : 0;
            return HStack(6,
                          {
                              Image(icon).resizable().frame(11, 11),
                              Text(title).font(Font::system(10, FontWeight::semibold)),
                          })
                .foregroundColor(look.foreground)
                .padding(EdgeInsets{7, 14, 7, 14})
                .background(RoundedRectangle(4).fill(look.backgrounds[state]))
                .overlay(RoundedRectangle(4).strokeBorder(look.borders[state], 1));
        }};
}

}  // namespace

View ControlPanelActionsSection::body(ViewContext<NoState>&) const {
    return HStack({
                      actionButton(onClose, "icon-x", "CLOSE", kCloseLook),
                      Spacer(),
                      actionButton(onDuplicate, "icon-copy", "DUPLICATE", kDuplicateLook),
                  })
        .padding(EdgeInsets{10, 16, 10, 16});
}

}  // namespace talvori::ui
