#pragma once

#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"
#include "ui/UI.hpp"

namespace talvori::ui::testing {

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
        const bool close = std::abs(actual.x - expected.x) <= tolerance &&
                           std::abs(actual.y - expected.y) <= tolerance &&
                           std::abs(actual.width - expected.width) <= tolerance &&
                           std::abs(actual.height - expected.height) <= tolerance;
        if (close) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "frame (" << actual.x << ", " << actual.y << ", " << actual.width << " x "
               << actual.height << ") is not (" << expected.x << ", " << expected.y << ", "
               << expected.width << " x " << expected.height << ")";
    }

    bool reduceMotion_ = false;

  private:
    std::shared_ptr<TextMeasurer> measurer_ = std::make_shared<FixedTextMeasurer>();
};

}  // namespace talvori::ui::testing
