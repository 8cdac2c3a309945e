#include <gtest/gtest.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/freedesktop/DesktopFiles.hpp"
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

// The colour of each pixel down the middle column of `svg` drawn `size` pixels high on `panel`.
std::vector<Color> middleColumnOn(const char* svg, int size, const Color& panel) {
    std::unique_ptr<RsvgHandle, void (*)(gpointer)> handle(
        rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg),
                                  std::string_view(svg).size(), nullptr),
        g_object_unref);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgb(context, panel.red, panel.green, panel.blue);
    cairo_paint(context);
    const RsvgRectangle area{0, 0, static_cast<double>(size), static_cast<double>(size)};
    EXPECT_TRUE(handle && rsvg_handle_render_document(handle.get(), context, &area, nullptr));
    cairo_destroy(context);
    cairo_surface_flush(surface);
    std::vector<Color> column;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int row = 0; row < size; ++row) {
        const unsigned char* pixel =
            data + row * cairo_image_surface_get_stride(surface) + size / 2 * 4;
        column.push_back(Color::rgb255(pixel[2], pixel[1], pixel[0]));
    }
    cairo_surface_destroy(surface);
    return column;
}

// The coloured status icons keep an edge that stands 3:1 or more from the panel, as guidelines
// ask of a control's outline, on LXQt's dark and light panels alike: within the outermost two
// pixels, at the sizes trays draw.
class StatusIconEdgeTest : public ::testing::TestWithParam<Color> {};

TEST_P(StatusIconEdgeTest, TheEdgeStandsOutFromThePanel) {
    const Color panel = GetParam();
    for (std::size_t index = 0; index < kStatusIconFileCount; ++index) {
        const auto& file = kStatusIconFiles[index];
        if (std::string_view(file.name).ends_with("-symbolic")) continue;
        for (const int size : {16, 22, 24}) {
            const auto column = middleColumnOn(file.svg, size, panel);
            double best = 0;
            for (int row = 0; row < 2; ++row)
                best = std::max(best, StatusIcon::contrast(column[row], panel));
            EXPECT_GE(best, 3.0) << file.name << " at " << size;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LxqtPanels, StatusIconEdgeTest,
                         ::testing::Values(Color::rgb255(64, 64, 64), Color::rgb255(236, 236, 236)),
                         [](const auto& info) { return info.param.red < 0.5 ? "dark" : "light"; });

}  // namespace
}  // namespace talvori::freedesktop
