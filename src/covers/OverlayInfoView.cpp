#include "covers/OverlayInfoView.hpp"

#include <fmt/format.h>

#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/core/SaturatingCast.hpp"

namespace talvori {

namespace {

constexpr double kCornerRadius = 6;
constexpr double kIconSize = 10;
constexpr double kAnimationDuration = 0.15;

ui::View row(const char* icon, std::string text) {
    return ui::HStack(ui::VerticalAlignment::center, 5,
                      {ui::Image(icon)
                           .resizable()
                           .frame(kIconSize, kIconSize)
                           .foregroundColor(ui::Color::gray(0.45)),
                       ui::Text(std::move(text))});
}

}  // namespace

// Measured from the main screen's top edge rather than from its height, so that the number is the
// distance to the cover's top edge also when the main screen does not sit at the origin.
OverlayInfoView::Numbers OverlayInfoView::numbers(const Rect& frame,
                                                  const std::optional<Screen>& mainScreen) {
    const double top = mainScreen ? mainScreen->frame.maxY() : 0;
    return {saturatingCast<std::int64_t>(frame.minX()),
            saturatingCast<std::int64_t>(top - frame.maxY()),
            saturatingCast<std::int64_t>(frame.width()),
            saturatingCast<std::int64_t>(frame.height())};
}

std::string OverlayInfoView::positionText(const Numbers& numbers) {
    return fmt::format("{}, {}", numbers.x, numbers.y);
}

std::string OverlayInfoView::sizeText(const Numbers& numbers) {
    return fmt::format("{} \u00d7 {}", numbers.width, numbers.height);
}

ui::View OverlayInfoView::body(ui::ViewContext<ui::NoState>& context) const {
    const Numbers shown =
        numbers(viewModel->model().frame.rect(), platform().screens().mainScreen());
    const bool visible = viewModel->isResizing() || viewModel->isDragging();
    const ui::RoundedRectangle shape(kCornerRadius, ui::RoundedCornerStyle::continuous);
    return ui::VStack(ui::HorizontalAlignment::leading, 2,
                      {row("icon-move", positionText(shown)), row("icon-resize", sizeText(shown))})
        .font(ui::Font::system(11, ui::FontWeight::medium).monospacedDigit())
        .foregroundColor(ui::Color::white())
        .padding(ui::EdgeInsets{8, 12, 8, 12})
        .background(ui::ZStack({shape.fill(ui::Color(Palette::infoBackground)),
                                shape.strokeBorder(ui::Color(Palette::infoGrey), 1)}))
        .allowsHitTesting(false)
        .opacity(visible ? 1 : 0)
        .animation(context.animation(ui::Animation::easeOut(kAnimationDuration)), visible);
}

}  // namespace talvori
