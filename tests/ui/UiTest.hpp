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

    bool reduceMotion_ = false;

  private:
    std::shared_ptr<TextMeasurer> measurer_ = std::make_shared<FixedTextMeasurer>();
};

}  // namespace talvori::ui::testing
