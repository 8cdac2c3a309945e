#include "menubar/MenuBarCoachMarkView.hpp"

#include "controls/CoachMarkShape.hpp"
#include "covers/Palette.hpp"
#include "session/ShortcutNames.hpp"

namespace talvori::ui {

namespace {

constexpr double kTileSize = 32;
constexpr double kIconSize = 17;
constexpr double kTileRadius = 8;

View iconTile() {
    return Image("icon-menubar")
        .resizable()
        .frame(kIconSize, kIconSize)
        .foregroundColor(Color(Palette::white(0.85)))
        .frame(kTileSize, kTileSize)
        .background(RoundedRectangle(kTileRadius).fill(Color(Palette::accent.withAlpha(0.13))))
        .overlay(
            RoundedRectangle(kTileRadius).strokeBorder(Color(Palette::accent.withAlpha(0.28)), 1))
        .accessibilityHidden();
}

}  // namespace

std::string MenuBarCoachMarkView::subtitle() {
    const auto keys = ShortcutNames::heldShortcutText(ShortcutNames::showPanel());
    if (!keys) return kSubtitle;
    return std::string(kSubtitle) + " Or press " + *keys + ".";
}

std::string MenuBarCoachMarkView::announcement() const {
    std::string heading = title.value_or(kTitle);
    if (!heading.ends_with('.') && !heading.ends_with('!') && !heading.ends_with('?')) {
        heading += '.';
    }
    return heading + " " + (message ? *message : subtitle());
}

View MenuBarCoachMarkView::body(ViewContext<NoState>&) const {
    const View text = VStack(HorizontalAlignment::leading, 3,
                             {Text(title.value_or(kTitle))
                                  .font(Font::system(13, FontWeight::semibold))
                                  .tracking(-0.1)
                                  .foregroundColor(Color(Palette::white(0.92))),
                              Text(message ? *message : subtitle())
                                  .font(Font::system(12))
                                  .foregroundColor(Color(Palette::white48))
                                  .fixedSize(false, true)});
    const CoachMarkShape bubble(beakCenterX, kBeakHeight, kBeakHalfWidth, kCornerRadius,
                                beakPointsDown);
    return HStack(VerticalAlignment::top, 11, {iconTile(), text, Spacer(0)})
        // The padding on the beak's side holds the beak beyond the body's own 13 points.
        .padding(beakPointsDown ? EdgeInsets{13, 14, 13 + kBeakHeight, 14}
                                : EdgeInsets{13 + kBeakHeight, 14, 13, 14})
        .frame({.width = kWidth, .alignment = Alignment::leading()})
        .background(bubble.fill(Color(Palette::ink)))
        .overlay(bubble.stroke(Color(Palette::white6_3), 1))
        .accessibilityElement(AccessibilityChildren::ignore)
        .accessibilityLabel(announcement());
}

}  // namespace talvori::ui
