#include "reminder/UpdateCalloutView.hpp"

#include "controls/CoachMarkShape.hpp"
#include "covers/Palette.hpp"
#include "reminder/UpdateNowButton.hpp"

namespace talvori {

using ui::AccessibilityChildren;
using ui::Alignment;
using ui::Button;
using ui::Edges;
using ui::Font;
using ui::FontWeight;
using ui::HorizontalAlignment;
using ui::HStack;
using ui::NoState;
using ui::Rectangle;
using ui::RoundedRectangle;
using ui::Spacer;
using ui::Text;
using ui::VerticalAlignment;
using ui::View;
using ui::ViewContext;
using ui::ViewList;
using ui::VStack;

View UpdateCalloutView::body(ViewContext<NoState>&) const {
    const View tile =
        ui::Image("arrow.up")
            .font(Font::system(14, FontWeight::semibold))
            .foregroundColor(ui::Color::white(0.85))
            .frame(32, 32)
            .background(RoundedRectangle(8).fill(ui::Color::rgb255(245, 160, 53, 0.13)))
            .overlay(RoundedRectangle(8).strokeBorder(ui::Color::rgb255(245, 160, 53, 0.28), 1))
            .accessibilityHidden();
    ViewList column{Text("Talvori " + update.version + " is ready")
                        .font(Font::system(13, FontWeight::semibold))
                        .tracking(-0.1)
                        .foregroundColor(ui::Color::white(0.92))
                        .lineLimit(1)};
    if (update.summary) {
        column.push_back(Text(*update.summary)
                             .font(Font::system(12))
                             .foregroundColor(ui::Color::white(0.48))
                             .lineLimit(2)
                             .fixedSize(false, true));
    }
    column.push_back(
        HStack(8, {UpdateLaterButton{onLater}, UpdateNowButton{onUpdate}}).padding(Edges::top, 9));
    const CoachMarkShape bubble(beakCenterX, 6, 7.5, 10, beakPointsDown);
    return HStack(VerticalAlignment::top, 11,
                  {tile, VStack(HorizontalAlignment::leading, 3, std::move(column)), Spacer(0)})
        .padding(beakPointsDown ? ui::EdgeInsets{13, 14, 19, 14} : ui::EdgeInsets{19, 14, 13, 14})
        .frame({.width = kWidth, .alignment = Alignment::leading()})
        .background(bubble.fill(ui::Color(Palette::ink)))
        .overlay(bubble.stroke(ui::Color(Palette::white6_3), 1))
        .accessibilityElement(AccessibilityChildren::contain)
        .accessibilityLabel(update.readyAnnouncement());
}

}  // namespace talvori
