#include <gtest/gtest.h>

#include <vector>

#include "platform/freedesktop/StatusIcon.hpp"

namespace talvori::freedesktop {
namespace {

// The left half opaque black, the right half black at half opacity.
Image halves(bool isTemplate) {
    return Image{{18, 18}, isTemplate, [](cairo_t* context, Size size) {
                     cairo_set_source_rgba(context, 0, 0, 0, 1);
                     cairo_rectangle(context, 0, 0, size.width / 2, size.height);
                     cairo_fill(context);
                     cairo_set_source_rgba(context, 0, 0, 0, 0.5);
                     cairo_rectangle(context, size.width / 2, 0, size.width / 2, size.height);
                     cairo_fill(context);
                 }};
}

std::vector<int> pixelAt(const std::vector<std::uint8_t>& bytes, int size, int x, int y) {
    const auto at = static_cast<std::size_t>((y * size + x) * 4);
    return {bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]};
}

TEST(StatusIconTest, TemplatesTakeTheTintAndPixelsGoOutAsStraightAlphaInNetworkOrder) {
    const Color tint = StatusIcon::kLightTint;
    const auto bytes = StatusIcon::networkOrderPixels(halves(true), 24, tint);
    ASSERT_EQ(bytes.size(), 24U * 24U * 4U);
    EXPECT_EQ(pixelAt(bytes, 24, 2, 12), (std::vector<int>{255, 240, 240, 240}));
    // Half covered: the colour stays whole, only alpha halves.
    const auto half = pixelAt(bytes, 24, 20, 12);
    EXPECT_NEAR(half[0], 128, 1);
    for (int channel = 1; channel < 4; ++channel) EXPECT_NEAR(half[channel], 240, 2);

    // A picture that is no template keeps its colours; no picture is transparent.
    EXPECT_EQ(pixelAt(StatusIcon::networkOrderPixels(halves(false), 16, tint), 16, 2, 8),
              (std::vector<int>{255, 0, 0, 0}));
    EXPECT_EQ(pixelAt(StatusIcon::networkOrderPixels(std::nullopt, 16, tint), 16, 2, 8),
              (std::vector<int>{0, 0, 0, 0}));
}

TEST(StatusIconTest, TheTintStandsOutOnThePanel) {
    EXPECT_EQ(StatusIcon::tintOn(Color::rgb255(30, 30, 30)), StatusIcon::kLightTint);
    EXPECT_EQ(StatusIcon::tintOn(Color::rgb255(220, 218, 213)), StatusIcon::kDarkTint);
    EXPECT_EQ(StatusIcon::tintForTheme("ubuntu:GNOME", "Adwaita"), StatusIcon::kLightTint);
    EXPECT_EQ(StatusIcon::tintForTheme("KDE", "Breeze"), StatusIcon::kDarkTint);
    EXPECT_EQ(StatusIcon::tintForTheme("KDE", "Breeze-Dark"), StatusIcon::kLightTint);
    EXPECT_EQ(StatusIcon::tintForTheme("", std::nullopt), StatusIcon::kLightTint);
}

}  // namespace
}  // namespace talvori::freedesktop
