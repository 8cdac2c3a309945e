#include "reminder/WhatsNewCard.hpp"

#include <limits>

#include "controls/InteractiveButton.hpp"
#include "controls/LucideIcon.hpp"
#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "ui/ViewDimensions.hpp"

namespace talvori {

using ui::AccessibilityChildren;
using ui::AccessibilityTrait;
using ui::Alignment;
using ui::Animation;
using ui::Button;
using ui::Circle;
using ui::Edges;
using ui::Font;
using ui::FontWeight;
using ui::HorizontalAlignment;
using ui::HStack;
using ui::InteractiveButton;
using ui::NoState;
using ui::RadialGradient;
using ui::Rectangle;
using ui::RoundedRectangle;
using ui::Spacer;
using ui::Text;
using ui::UnitPoint;
using ui::VerticalAlignment;
using ui::View;
using ui::ViewContext;
using ui::ViewList;
using ui::VStack;
using ui::withAnimation;

namespace {

constexpr ui::Color kCardBlue = ui::Color::rgb255(157, 176, 255);
constexpr ui::Color kCardBlueHovered = ui::Color::rgb255(196, 208, 255);
constexpr double kInfinity = std::numeric_limits<double>::infinity();

View closeButton(const std::function<void()>& onClose) {
    return View(InteractiveButton{
                    onClose,
                    [](bool isHovering, bool isPressed) {
                        const double fill = isPressed ? 0.094 : isHovering ? 0.059 : 0;
                        return ui::Image(std::string(LucideIcon(LucideIcon::x).rawValue()))
                            .resizable()
                            .frame(12, 12)
                            .foregroundColor(ui::Color::white(isHovering ? 0.8 : 0.48))
                            .frame(20, 20)
                            .background(RoundedRectangle(4).fill(ui::Color::white(fill)))
                            .contentShape(Rectangle());
                    }})
        .accessibilityLabel("Dismiss what\u2019s new");
}

View bulletRow(const std::string& text) {
    // The dot's bottom sits 3 points above the baseline of the bullet's first line.
    return HStack(VerticalAlignment::firstTextBaseline, 8,
                  {
                      Circle()
                          .fill(kCardBlue)
                          .frame(3, 3)
                          .alignmentGuide(VerticalAlignment::firstTextBaseline,
                                          [](const ui::ViewDimensions& d) {
                                              return d[VerticalAlignment::bottom] + 3;
                                          })
                          .accessibilityIdentifier("bullet-dot")
                          .accessibilityHidden(),
                      Text(text)
                          .font(Font::system(12))
                          .foregroundColor(ui::Color::white(0.75))
                          .lineLimit(2)
                          .fixedSize(false, true),
                  })
        .id(text);
}

}  // namespace

View ReleaseNotesLink::body(ViewContext<State>& ctx) const {
    const bool hovering = ctx.state.isHovering();
    const ui::Color color = hovering ? kCardBlueHovered : kCardBlue;
    const View title = Text("Full release notes")
                           .overlay(Rectangle()
                                        .fill(color.opacity(hovering ? 1.0 : 0.45))
                                        .frame({.height = 1})
                                        .offset(0, 2),
                                    Alignment::bottom());
    return Button(
               [url = url] { platform().workspace().openURL(url); },
               HStack(4,
                      {
                          title,
                          ui::Image("arrow.up.right").font(Font::system(9, FontWeight::semibold)),
                      })
                   .font(Font::system(12, FontWeight::medium))
                   .foregroundColor(color)
                   .contentShape(Rectangle()))
        .onHover([&ctx](bool isHovering) {
            platform().input().setCursor(isHovering ? Cursor::pointingHand() : Cursor::arrow());
            withAnimation(ctx.animation(Animation::easeOut(kHoverDuration)),
                          [&] { ctx.state.isHovering.set(isHovering); });
        })
        .accessibilityLabel("Full release notes")
        .accessibilityAddTraits(AccessibilityTrait::isLink);
}

View WhatsNewCard::body(ViewContext<NoState>&) const {
    ViewList rows;
    for (const auto& bullet : bullets) rows.push_back(bulletRow(bullet));
    ViewList sections{
        HStack(7,
               {
                   ui::Image("gift")
                       .font(Font::system(12))
                       .foregroundColor(kCardBlue)
                       .accessibilityHidden(),
                   Text("What\u2019s new in " + version)
                       .font(Font::system(13, FontWeight::medium))
                       .foregroundColor(ui::Color::white(0.85)),
                   Spacer(0),
                   closeButton(onClose),
               }),
        VStack(HorizontalAlignment::leading, 7, std::move(rows)),
    };
    if (releaseNotesURL) {
        sections.push_back(
            HStack(0, {Spacer(0), ReleaseNotesLink{*releaseNotesURL}}).padding(Edges::top, 2));
    }
    const RadialGradient glow{{{ui::Color::rgb255(132, 156, 255, 0.22), 0},
                               {ui::Color::rgb255(132, 156, 255, 0.08), 0.5},
                               {ui::Color::rgb255(132, 156, 255, 0.03), 1}},
                              UnitPoint::topLeading(),
                              0,
                              320};
    return VStack(HorizontalAlignment::leading, 8, std::move(sections))
        .padding({10, 12, 12, 10})
        .frame({.maxWidth = kInfinity, .alignment = Alignment::leading()})
        .background(RoundedRectangle(8).fill(glow))
        .overlay(RoundedRectangle(8).strokeBorder(ui::Color::rgb255(140, 162, 255, 0.32), 1))
        .padding(Edges::vertical, 12)
        .padding(Edges::horizontal, 16)
        .overlay(Rectangle().fill(ui::Color::white(0.06)).frame({.height = 1}), Alignment::bottom())
        .accessibilityElement(AccessibilityChildren::contain);
}

}  // namespace talvori
