#include <cairo.h>

#include "app/WindowManager.hpp"
#include "support/PlatformTest.hpp"

namespace talvori::testing {
namespace {

// The alpha of each pixel of `image` drawn at one pixel per point.
class StatusImagePixels {
  public:
    explicit StatusImagePixels(const Image& image) {
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 18, 18);
        cairo_t* cr = cairo_create(surface_);
        image.draw(cr, image.size);
        cairo_destroy(cr);
        cairo_surface_flush(surface_);
    }
    ~StatusImagePixels() { cairo_surface_destroy(surface_); }
    // At the point (x, y) counted from the bottom left, as the badge is laid out.
    double alphaAt(double x, double y) const {
        const int column = static_cast<int>(x), row = static_cast<int>(18 - y);
        const auto* data =
            cairo_image_surface_get_data(surface_) + row * cairo_image_surface_get_stride(surface_);
        return (reinterpret_cast<const std::uint32_t*>(data)[column] >> 24) / 255.0;
    }

  private:
    cairo_surface_t* surface_;
};

TEST(StatusImageTest, TheBadgeCutsARingAndAnArrowAndFillsTheDot) {
    // Artwork that covers its whole square.
    const Image asset{{18, 18}, true, [](cairo_t* cr, Size size) {
                          cairo_rectangle(cr, 0, 0, size.width, size.height);
                          cairo_set_source_rgb(cr, 0, 0, 0);
                          cairo_fill(cr);
                      }};
    const Image badged = WindowManager::badgedStatusImage(asset);
    EXPECT_EQ(badged.size, (Size{18, 18}));
    EXPECT_TRUE(badged.isTemplate);
    const StatusImagePixels pixels(badged);
    // Pixel centres, counted from the bottom left; edges are smoothed, so the figures are judged
    // where they are whole.
    EXPECT_GT(pixels.alphaAt(4.5, 4.5), 0.95) << "the artwork";
    EXPECT_LT(pixels.alphaAt(0.5, 4.5), 0.05) << "outside the artwork's 16-point frame";
    EXPECT_LT(pixels.alphaAt(8.5, 13.5), 0.05) << "the ring around the dot";
    EXPECT_GT(pixels.alphaAt(10.5, 12.5), 0.95) << "the dot";
    EXPECT_LT(pixels.alphaAt(13.5, 13.5), 0.05) << "the arrow's stem";
    EXPECT_LT(pixels.alphaAt(12.5, 14.5), 0.1) << "the arrow's head";
    // Drawn without a context it draws nothing and does not fail.
    badged.draw(nullptr, badged.size);
}

TEST(StatusImageTest, MissingArtworkGivesAnEmptyImage) {
    const bool hasArtwork = WindowManager::statusImageAsset().has_value();
    const Image plain = WindowManager::statusBarImage(false);
    const Image badged = WindowManager::statusBarImage(true);
    EXPECT_EQ(static_cast<bool>(plain.draw), hasArtwork);
    EXPECT_EQ(static_cast<bool>(badged.draw), hasArtwork);
}

}  // namespace
}  // namespace talvori::testing
