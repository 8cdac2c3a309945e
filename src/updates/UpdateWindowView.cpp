#include "updates/UpdateWindowView.hpp"

#include <algorithm>
#include <limits>

namespace talvori::updates {

namespace {

using namespace ui;
using Color = ui::Color;

constexpr Color kBackground = Color::rgb255(36, 38, 46);
constexpr Color kAccent = Color::rgb255(245, 160, 53);
constexpr double kInfinity = std::numeric_limits<double>::infinity();

View pushButton(const UpdateWindowView::ButtonItem& item, bool isDefault) {
    return Button(
               item.action,
               Text(item.title)
                   .font(Font::system(12, isDefault ? FontWeight::semibold : FontWeight::regular))
                   .foregroundColor(isDefault ? Color::rgb255(21, 24, 32) : Color::white(0.9))
                   .padding(Edges::horizontal, 12)
                   .frame({.height = 24})
                   .background(RoundedRectangle(6).fill(isDefault ? kAccent : Color::white(0.1))))
        .accessibilityLabel(item.title);
}

View progressBar(double fraction) {
    // A bar of unknown length shows a short piece at its start.
    const double shown = fraction < 0 ? 0.1 : std::clamp(fraction, 0.0, 1.0);
    return GeometryReader([shown](Size size) -> View {
               return ZStack(Alignment::leading(),
                             {
                                 Capsule().fill(Color::white(0.12)),
                                 Capsule().fill(kAccent).frame(size.width * shown, 6),
                             });
           })
        .frame({.height = 6})
        .accessibilityLabel("Download progress");
}

}  // namespace

View UpdateWindowView::body(ViewContext<NoState>&) const {
    ViewList rows{Text(title)
                      .font(Font::system(13, FontWeight::bold))
                      .foregroundColor(Color::white(0.92))
                      .fixedSize(false, true)};
    if (!message.empty()) {
        rows.push_back(Text(message)
                           .font(Font::system(11))
                           .foregroundColor(Color::white(0.65))
                           .fixedSize(false, true));
    }
    if (progress) {
        rows.push_back(progressBar(*progress).padding(Edges::top, 4));
        rows.push_back(
            Text(progressText).font(Font::system(11)).foregroundColor(Color::white(0.5)));
    }
    ViewList buttonRow{Spacer()};
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        // The last button is the default one, unless all a step offers is to cancel it.
        const bool isDefault = index + 1 == buttons.size() && buttons[index].title != "Cancel";
        buttonRow.push_back(pushButton(buttons[index], isDefault));
    }
    return VStack(
               HorizontalAlignment::leading, 16,
               {
                   HStack(
                       VerticalAlignment::top, 14,
                       {
                           Image("arrow.up.circle")
                               .resizable()
                               .frame(32, 32)
                               .foregroundColor(kAccent)
                               .accessibilityHidden(),
                           VStack(HorizontalAlignment::leading, 6, std::move(rows))
                               .frame({.maxWidth = kInfinity, .alignment = Alignment::leading()}),
                       }),
                   HStack(8, std::move(buttonRow)),
               })
        .padding(20)
        .padding(Edges::top, kTitleBarHeight)
        .frame({.width = kWidth})
        .background(kBackground);
}

}  // namespace talvori::updates
