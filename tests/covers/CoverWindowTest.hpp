#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "covers/CoverSamples.hpp"
#include "covers/OverlayWindowController.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori {

// Readable failures for the geometry the tests compare.
inline void PrintTo(const Point& point, std::ostream* out) {
    *out << "(" << point.x << ", " << point.y << ")";
}
inline void PrintTo(const Size& size, std::ostream* out) {
    *out << size.width << " x " << size.height;
}
inline void PrintTo(const Rect& rect, std::ostream* out) {
    *out << "(" << rect.minX() << ", " << rect.minY() << ", " << rect.width() << " x "
         << rect.height() << ")";
}

}  // namespace talvori

namespace talvori::testing {

// Frames computed with factors such as 1.1 carry rounding in their last bits.
inline ::testing::AssertionResult framesNear(const Rect& actual, const Rect& expected) {
    const double tolerance = 1e-9;
    if (std::abs(actual.minX() - expected.minX()) < tolerance &&
        std::abs(actual.minY() - expected.minY()) < tolerance &&
        std::abs(actual.width() - expected.width()) < tolerance &&
        std::abs(actual.height() - expected.height()) < tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << ::testing::PrintToString(actual) << " is not " << ::testing::PrintToString(expected);
}

// Arrow keys of the US layout.
enum ArrowKey : std::uint16_t { leftArrow = 123, rightArrow = 124, downArrow = 125, upArrow = 126 };

// A simulated desktop with one cover shown by its window controller; the test drives it as the
// user does and reads the window, the record and what the controller reported.
class CoverWindowTest : public SimDesktopTest {
  protected:
    using SimDesktopTest::SimDesktopTest;

    std::shared_ptr<OverlayViewModel> viewModel;
    std::shared_ptr<OverlayWindowController> controller;
    // Every frame reported through onMove.
    std::vector<Rect> moves;
    int hovers = 0;
    int hoverEnds = 0;

    OverlayWindowController& showCover(const Rect& frame, OverlayModel model = sampleCover()) {
        model.frame = CodableRect::fromRect(frame);
        viewModel = std::make_shared<OverlayViewModel>(std::move(model));
        controller = OverlayWindowController::create(viewModel);
        controller->onMove = [this](const UUID& id, const Rect& moved) {
            EXPECT_EQ(id, viewModel->id());
            moves.push_back(moved);
        };
        controller->onHover = [this](const UUID&, const Rect&) { ++hovers; };
        controller->onHoverEnd = [this] { ++hoverEnds; };
        controller->show();
        return *controller;
    }

    Panel& window() const { return controller->panel()->window(); }
    Rect frame() const { return window().frame(); }
    Rect recordFrame() const { return viewModel->model.peek().frame.rect(); }
    // A point of the cover given in its content coordinates (top left, y down).
    Point at(double x, double y) const {
        const Rect cover = frame();
        return {cover.minX() + x, cover.maxY() - y};
    }
    Point outside() const { return {frame().maxX() + 200, frame().midY()}; }

    // Clicks the cover so that it takes key events, away from its handles.
    void focusCover() {
        input().click(at(frame().width() / 2, frame().height() / 2));
        moves.clear();
    }
    sim::KeyDelivery type(std::uint16_t keyCode, const std::string& characters = {},
                          std::uint64_t flags = 0) {
        return input().typeKey(sim::KeyStroke::key(keyCode, characters, flags));
    }
    sim::KeyDelivery typeDigit(char digit, std::uint64_t flags = 0) {
        static constexpr std::uint16_t codes[] = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};
        return type(codes[digit - '0'], std::string(1, digit), flags);
    }
};

}  // namespace talvori::testing
