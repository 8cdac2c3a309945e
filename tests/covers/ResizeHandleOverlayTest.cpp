#include <gtest/gtest.h>

#include "covers/CoverSamples.hpp"
#include "covers/Palette.hpp"
#include "covers/ResizeHandleOverlay.hpp"
#include "ui/UiTest.hpp"

namespace talvori {
namespace {

// The overlay of a 300 x 200 cover drawn on its own, read pixel by pixel.
class ResizeHandleOverlayTest : public ui::testing::UiTest {
  protected:
    std::shared_ptr<OverlayViewModel> model =
        std::make_shared<OverlayViewModel>(testing::sampleCover());
    std::shared_ptr<ui::Host> overlay = makeHost({300, 200});

    std::shared_ptr<ui::Host> makeHost(Size size) {
        auto made = host(ResizeHandleOverlay{model, Palette::accent}, size);
        made->updateNow();
        return made;
    }
    void showHandles() {
        model->isHandlesVisible.set(true);
        runUntilIdle();
        advance(0.15);
    }
    ui::Color pixelAt(double x, double y) const { return pixel(*overlay, {x, y}); }
    double alphaAt(double x, double y) const { return pixelAt(x, y).alpha; }
};

TEST_F(ResizeHandleOverlayTest, EdgeOpacityFollowsTheFirstRuleThatApplies) {
    using Overlay = ResizeHandleOverlay;
    EXPECT_EQ(Overlay::handleOpacity(true, true, true, true), 0.15);
    EXPECT_EQ(Overlay::handleOpacity(false, true, true, true), 1.0);
    EXPECT_EQ(Overlay::handleOpacity(false, false, true, true), 0.8);
    EXPECT_EQ(Overlay::handleOpacity(false, false, false, true), 0.6);
    EXPECT_EQ(Overlay::handleOpacity(false, false, false, false), 0.3);
}

TEST_F(ResizeHandleOverlayTest, HiddenHandlesDrawNothing) {
    EXPECT_EQ(alphaAt(150, 0), 0);
    EXPECT_EQ(alphaAt(2, 10), 0);
}

TEST_F(ResizeHandleOverlayTest, EdgesAreThinLinesInTheHandleColour) {
    showHandles();
    const ui::Color top = pixelAt(150, 0);
    EXPECT_NEAR(top.alpha, 0.3, 0.01);
    EXPECT_NEAR(top.red, Palette::accent.red, 0.01);
    EXPECT_EQ(alphaAt(150, 1), 0) << "one point thick";
    EXPECT_NEAR(alphaAt(299, 100), 0.3, 0.01);
    EXPECT_NEAR(alphaAt(150, 199), 0.3, 0.01);
    EXPECT_NEAR(alphaAt(0, 100), 0.3, 0.01);
    EXPECT_EQ(alphaAt(150, 100), 0);
}

TEST_F(ResizeHandleOverlayTest, HoveredResizingAndSnappedEdgesAreStronger) {
    showHandles();
    model->hoveredHandle.set(ResizeHandle::top);
    runUntilIdle();
    EXPECT_NEAR(alphaAt(150, 0), 0.6, 0.01);
    model->isResizing.set(true);
    model->activeHandle.set(ResizeHandle::bottomLeft);
    runUntilIdle();
    EXPECT_NEAR(alphaAt(150, 199), 0.8, 0.01);
    EXPECT_NEAR(alphaAt(0, 100), 0.8, 0.01);
    model->snappedEdges.set({SnapEdge::right});
    runUntilIdle();
    EXPECT_NEAR(alphaAt(299, 100), 1.0, 0.01);
    EXPECT_NEAR(alphaAt(298, 100), 1.0, 0.01) << "two points thick";
}

TEST_F(ResizeHandleOverlayTest, ABracketWidensWhenHoveredAndEverythingIsFaintWhenLocked) {
    showHandles();
    // The arm on x = 2, 1.5 points wide, covers three quarters of the pixels on either side.
    EXPECT_NEAR(alphaAt(1, 10), 0.5 * 0.75, 0.01);
    EXPECT_NEAR(alphaAt(2, 10), 0.5 * 0.75, 0.01);
    model->hoveredHandle.set(ResizeHandle::topLeft);
    runUntilIdle();
    advance(0.15);
    EXPECT_NEAR(alphaAt(2, 10), 1.0, 0.01) << "two points wide, fully opaque";
    EXPECT_NEAR(alphaAt(1, 10), 1.0, 0.01);

    model->isLocked.set(true);
    model->snappedEdges.set({SnapEdge::top});
    runUntilIdle();
    advance(0.15);
    EXPECT_NEAR(alphaAt(150, 0), 0.15, 0.01);
    EXPECT_NEAR(alphaAt(150, 1), 0.15, 0.01) << "still two points thick";
    EXPECT_NEAR(alphaAt(1, 10), 0.15 * 0.75, 0.01) << "faint, and back to the thin line";
}

TEST_F(ResizeHandleOverlayTest, AResizeOutlinesTheSizeItStartedFrom) {
    overlay = makeHost({350, 260});
    showHandles();
    model->isResizing.set(true);
    model->activeHandle.set(ResizeHandle::topLeft);
    model->originalFrame.set(Rect(400, 300, 300, 200));
    runUntilIdle();
    const ui::Color outline = pixelAt(50, 150);
    EXPECT_NEAR(outline.alpha, 0.09, 0.01);
    EXPECT_NEAR(outline.green, 1.0, 0.05);
    EXPECT_EQ(alphaAt(49, 150), 0);
    EXPECT_NEAR(alphaAt(200, 60), 0.09, 0.01);
    EXPECT_NEAR(alphaAt(349, 150), 0.3 + 0.09 * 0.7, 0.01)
        << "the fixed right side lies under the cover's right edge";

    model->isResizing.set(false);
    runUntilIdle();
    EXPECT_EQ(alphaAt(50, 150), 0);
}

TEST_F(ResizeHandleOverlayTest, ShowingTheHandlesFadesInUnlessMotionIsReduced) {
    model->isHandlesVisible.set(true);
    runUntilIdle();
    EXPECT_LT(alphaAt(150, 0), 0.05);
    advance(0.075);
    EXPECT_GT(alphaAt(150, 0), 0.1);
    advance(0.075);
    EXPECT_NEAR(alphaAt(150, 0), 0.3, 0.01);

    reduceMotion_ = true;
    model->isHandlesVisible.set(false);
    runUntilIdle();
    EXPECT_EQ(alphaAt(150, 0), 0);
    model->isHandlesVisible.set(true);
    runUntilIdle();
    EXPECT_NEAR(alphaAt(150, 0), 0.3, 0.01);
}

}  // namespace
}  // namespace talvori
