#include "reminder/UpdateRow.hpp"

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
using ui::LinearGradient;
using ui::NoState;
using ui::Rectangle;
using ui::Spacer;
using ui::Text;
using ui::UnitPoint;
using ui::VerticalAlignment;
using ui::View;
using ui::ViewContext;
using ui::ViewList;
using ui::VStack;

View UpdateRow::body(ViewContext<NoState>&) const {
    ViewList texts{Text("Talvori " + update.version + " is ready")
                       .font(Font::system(13, FontWeight::medium))
                       .foregroundColor(ui::Color::white(0.8))
                       .lineLimit(1)};
    if (update.summary) {
        texts.push_back(Text(*update.summary)
                            .font(Font::system(11))
                            .foregroundColor(ui::Color::white(0.5))
                            .lineLimit(1));
    }
    const View icon = ui::Image("arrow.up.circle")
                          .font(Font::system(15))
                          .foregroundColor(Palette::accent)
                          .padding(Edges::top, 1)
                          .frame({.width = 26, .alignment = Alignment::topLeading()})
                          .accessibilityHidden();
    const View textBlock = VStack(HorizontalAlignment::leading, 2, std::move(texts))
                               .accessibilityElement(AccessibilityChildren::ignore)
                               .accessibilityLabel(update.readyAnnouncement());
    const LinearGradient glow{{{ui::Color::rgb255(245, 160, 53, 0.13), 0},
                               {ui::Color::rgb255(245, 160, 53, 0.05), 0.45},
                               {ui::Color::rgb255(245, 160, 53, 0), 1}},
                              UnitPoint::leading(),
                              UnitPoint::trailing()};
    return HStack(0,
                  {
                      HStack(VerticalAlignment::top, 0, {icon, textBlock}),
                      Spacer(12),
                      UpdateNowButton{onUpdate},
                  })
        .padding(Edges::vertical, 12)
        .padding(Edges::horizontal, 16)
        .background(Rectangle().fill(glow))
        .overlay(Rectangle().fill(ui::Color::rgb255(245, 160, 53, 0.16)).frame({.height = 1}),
                 Alignment::bottom())
        .accessibilityElement(AccessibilityChildren::contain);
}

}  // namespace talvori
