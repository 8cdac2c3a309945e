#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "support/SimDesktopTest.hpp"
#include "ui/UI.hpp"

namespace talvori::ui::testing {

// Whether two colours agree channel by channel within `tolerance`; a failure names both.
inline ::testing::AssertionResult colorsClose(const talvori::Color& actual,
                                              const talvori::Color& expected,
                                              double tolerance = 0.02) {
    if (std::abs(actual.red - expected.red) <= tolerance &&
        std::abs(actual.green - expected.green) <= tolerance &&
        std::abs(actual.blue - expected.blue) <= tolerance &&
        std::abs(actual.alpha - expected.alpha) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << Color(actual).description() << " is not " << Color(expected).description();
}

// A simulated desktop and hosts that measure text with fixed metrics.
class UiTest : public talvori::testing::SimDesktopTest {
  protected:
    std::shared_ptr<Host> host(View root, std::optional<Size> size = std::nullopt) {
        Host::Options options;
        options.textMeasurer = measurer_;
        options.size = size;
        options.reduceMotion = [this] { return reduceMotion_; };
        return Host::make(std::move(root), std::move(options));
    }

    static ::testing::AssertionResult near(const Rect& actual, const Rect& expected,
                                           double tolerance = 0.01) {
        const bool close = std::abs(actual.minX() - expected.minX()) <= tolerance &&
                           std::abs(actual.minY() - expected.minY()) <= tolerance &&
                           std::abs(actual.width() - expected.width()) <= tolerance &&
                           std::abs(actual.height() - expected.height()) <= tolerance;
        if (close) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "frame (" << actual.minX() << ", " << actual.minY() << ", " << actual.width()
               << " x " << actual.height() << ") is not (" << expected.minX() << ", "
               << expected.minY() << ", " << expected.width() << " x " << expected.height() << ")";
    }

    // The colour drawn at `point` (straight alpha), on a transparent background.
    static Color pixel(Host& host, Point point) {
        const Size size = host.size();
        cairo_surface_t* surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(size.width)),
                                       static_cast<int>(std::ceil(size.height)));
        cairo_t* cr = cairo_create(surface);
        host.draw(cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        const auto* row = cairo_image_surface_get_data(surface) +
                          static_cast<int>(point.y) * cairo_image_surface_get_stride(surface);
        const auto argb = reinterpret_cast<const std::uint32_t*>(row)[static_cast<int>(point.x)];
        cairo_surface_destroy(surface);
        const double alpha = ((argb >> 24) & 0xFF) / 255.0;
        auto channel = [&](int shift) {
            return alpha > 0 ? ((argb >> shift) & 0xFF) / 255.0 / alpha : 0.0;
        };
        return {channel(16), channel(8), channel(0), alpha};
    }

    static ::testing::AssertionResult close(const Color& actual, const Color& expected,
                                            double tolerance = 0.02) {
        return colorsClose(actual, expected, tolerance);
    }

    bool reduceMotion_ = false;

  private:
    std::shared_ptr<TextMeasurer> measurer_ = std::make_shared<FixedTextMeasurer>();
};

}  // namespace talvori::ui::testing
