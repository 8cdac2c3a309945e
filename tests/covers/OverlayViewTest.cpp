#include <gtest/gtest.h>

#include "covers/CoverWindowTest.hpp"
#include "covers/OverlayInfoView.hpp"
#include "covers/Palette.hpp"
#include "covers/TextPage.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UiTest.hpp"

namespace talvori {
namespace {

using ui::testing::colorsClose;

// `top` at `alpha` over the opaque `bottom`.
Color over(const Color& top, double alpha, const Color& bottom) {
    return {top.red * alpha + bottom.red * (1 - alpha),
            top.green * alpha + bottom.green * (1 - alpha),
            top.blue * alpha + bottom.blue * (1 - alpha), 1};
}

OverlayModel solidRed() {
    OverlayModel model = testing::sampleCover();
    model.color = {1, 0, 0, 1};
    model.opacity = 0.4;
    model.effectType = EffectType::solid;
    return model;
}

OverlayModel glass() {
    OverlayModel model = testing::sampleCover();
    model.effectType = EffectType::glass;
    model.blurRadius = 20;
    model.opacity = 1;
    return model;
}

// A cover at (400, 300) 300 x 200 on the 1440 x 900 screen, looked at in the screen picture.
class OverlayViewTest : public testing::CoverWindowTest {
  protected:
    const Rect kFrame{400, 300, 300, 200};

    void show(OverlayModel model) {
        showCover(kFrame, std::move(model));
        runUntilIdle();
    }
    Color seen(double x, double y) const { return desktop().picture().colorAt(at(x, y)); }
    // What lies under the cover, with nothing of ours on screen.
    Color desktopAt(double x, double y) const {
        return desktop().picture().colorAt({kFrame.minX() + x, kFrame.maxY() - y});
    }
    ui::Host& host() const {
        return std::dynamic_pointer_cast<ui::PanelHost>(window().hostedContent())->host();
    }
    int displays() const { return static_cast<sim::SimPanel&>(window()).displayCount(); }
    // The luminance of every point of the cover's frame on screen, row by row.
    std::vector<double> luminances() const {
        const auto picture = desktop().picture();
        std::vector<double> values;
        for (double y = kFrame.maxY() - 0.5; y > kFrame.minY(); --y) {
            for (double x = kFrame.minX() + 0.5; x < kFrame.maxX(); ++x) {
                const Color color = picture.colorAt({x, y});
                values.push_back(
                    testing::TextContrast::luminance(color.red, color.green, color.blue));
            }
        }
        return values;
    }
};

TEST_F(OverlayViewTest, ASolidCoverShowsItsColourAtItsOpacityWithoutBlur) {
    const Color below = desktopAt(150, 100);
    show(solidRed());
    EXPECT_TRUE(colorsClose(seen(150, 100), over({1, 0, 0, 1}, 0.4, below)));
    EXPECT_EQ(window().backgroundBlurRadius(), 0);
    EXPECT_TRUE(colorsClose(seen(0.5, 100), over({1, 0, 0, 1}, 0.4, below)))
        << "no handles until the pointer comes";
}

TEST_F(OverlayViewTest, AGlassCoverBlursWhatIsBehindAndTintsIt) {
    show(glass());
    EXPECT_EQ(window().backgroundBlurRadius(), 20);
    viewModel->setEffectType(EffectType::solid);
    runUntilIdle();
    EXPECT_EQ(window().backgroundBlurRadius(), 0);
    viewModel->setEffectType(EffectType::glass);
    viewModel->setBlurRadius(12.9);
    runUntilIdle();
    EXPECT_EQ(window().backgroundBlurRadius(), 12);

    auto shown = controller->panel()->sharedWindow();
    controller->close();
    EXPECT_EQ(shown->backgroundBlurRadius(), 0) << "the blur leaves with the cover";
}

TEST_F(OverlayViewTest, TheGlassTintIsAFaintGrey) {
    const Color below = desktopAt(150, 100);
    show(glass());
    EXPECT_TRUE(colorsClose(seen(150, 100), over(Color{0.15, 0.15, 0.15, 1}, 0.3, below)));
}

// A reader's test of the frosted glass that stands in for the blur: 12-pixel black text on white
// under a new cover (glass, 80 %) must lose nine tenths of its contrast, and from 60 % up too.
TEST_F(OverlayViewTest, WithoutTheDesktopsBlurGlassFrostsSoThatTextUnderItCannotBeRead) {
    world().setBackgroundBlurAvailable(false);
    // Larger than the cover, so that a picture shows the text on both sides of its edges.
    const auto page = testing::showTextPage(ui::insetBy(kFrame, -60, -40));
    runUntilIdle();
    const testing::TextContrast contrast(luminances());
    ASSERT_GT(contrast.textPixels(), 1000u);
    ASSERT_GT(contrast.uncovered(), 0.6);

    OverlayModel cover = glass();
    cover.opacity = 0.8;
    show(cover);
    EXPECT_EQ(window().backgroundBlurRadius(), 0);
    const auto picture = [&](const char* name) {
        if (const char* folder = std::getenv("TALVORI_SCREENSHOT_DIR")) {
            desktop().picture().writePNG(std::string(folder) + "/" + name + ".png");
        }
    };
    EXPECT_LT(contrast.of(luminances()), contrast.uncovered() / 10);
    picture("frosted-cover-80");
    // The frost is the cover's fill: resting on it brings the control panel as on any cover.
    input().moveMouse(at(150, 100));
    runUntilIdle();
    EXPECT_EQ(hovers, 1);
    viewModel->setOpacity(0.6);
    runUntilIdle();
    const double atSixty = contrast.of(luminances());
    EXPECT_LT(atSixty, contrast.uncovered() / 10);
    picture("frosted-cover-60");
    // The slider still sets the strength: lower lets more of the page's brightness through.
    viewModel->setOpacity(0.2);
    runUntilIdle();
    EXPECT_GT(contrast.of(luminances()), atSixty);
    picture("frosted-cover-20");

    // A desktop that starts blurring gets the glass of the blur back.
    world().setBackgroundBlurAvailable(true);
    runUntilIdle();
    EXPECT_EQ(window().backgroundBlurRadius(), 20);
}

TEST_F(OverlayViewTest, TheBorderFlashesOnceAndClearsItsRequest) {
    const Color below = desktopAt(150, 1);
    show(solidRed());
    viewModel->showBorderFlash.set(true);
    runUntilIdle();
    EXPECT_TRUE(colorsClose(seen(150, 1), Color{1, 0, 0, 1})) << "opaque red, inside the edge";
    advance(0.6);
    EXPECT_TRUE(viewModel->showBorderFlash.peek());
    const Color fading = seen(150, 1);
    EXPECT_GT(fading.red, 0.5);
    EXPECT_FALSE(colorsClose(fading, Color{1, 0, 0, 1}));
    advance(0.61);
    EXPECT_FALSE(viewModel->showBorderFlash.peek()) << "cleared once the fade is over";
    EXPECT_TRUE(colorsClose(seen(150, 1), over({1, 0, 0, 1}, 0.4, below)));

    viewModel->showBorderFlash.set(true);
    runUntilIdle();
    EXPECT_TRUE(colorsClose(seen(150, 1), Color{1, 0, 0, 1})) << "a second request plays again";
    advance(1.3);
    EXPECT_FALSE(viewModel->showBorderFlash.peek());
}

TEST_F(OverlayViewTest, AGlassCoverFlashesAndHighlightsInTheAccent) {
    const Color below = desktopAt(150, 1);
    show(glass());
    viewModel->showBorderFlash.set(true);
    runUntilIdle();
    EXPECT_TRUE(colorsClose(seen(150, 1), Palette::accent));
    advance(1.3);

    viewModel->isHighlighted.set(true);
    runUntilIdle();
    advance(0.2);
    const Color tinted = over(Color{0.15, 0.15, 0.15, 1}, 0.3, below);
    EXPECT_TRUE(colorsClose(seen(150, 1), over(Palette::accent, 0.5, tinted)));
    viewModel->isHighlighted.set(false);
    runUntilIdle();
    advance(0.2);
    EXPECT_TRUE(colorsClose(seen(150, 1), tinted));
}

TEST_F(OverlayViewTest, UnderReduceMotionTheHighlightAndFlashChangeAtOnce) {
    simWorkspace().setReduceMotion(true);
    const Color below = desktopAt(150, 1);
    show(solidRed());
    viewModel->isHighlighted.set(true);
    runUntilIdle();
    EXPECT_TRUE(
        colorsClose(seen(150, 1), over(Palette::accent, 0.5, over({1, 0, 0, 1}, 0.4, below))));
    viewModel->isHighlighted.set(false);
    viewModel->showBorderFlash.set(true);
    runUntilIdle();
    EXPECT_FALSE(viewModel->showBorderFlash.peek());
}

TEST_F(OverlayViewTest, HoverReachesTheOwnerAndShowsTheHandles) {
    const Color below = desktopAt(150, 0.5);
    show(solidRed());
    input().moveMouse(at(150, 100));
    runUntilIdle();
    EXPECT_EQ(hovers, 1);
    advance(0.15);
    const Color edge = seen(150, 0.5);
    EXPECT_TRUE(colorsClose(edge, over(Palette::accent, 0.3, over({1, 0, 0, 1}, 0.4, below))))
        << "an edge at 0.3 over the fill";

    input().moveMouse(at(150, 3));
    runUntilIdle();
    EXPECT_TRUE(
        colorsClose(seen(150, 0.5), over(Palette::accent, 0.6, over({1, 0, 0, 1}, 0.4, below))))
        << "the hovered top edge at 0.6";

    input().moveMouse({100, 100});
    runUntilIdle();
    EXPECT_EQ(hoverEnds, 1);
    advance(0.15);
    EXPECT_TRUE(colorsClose(seen(150, 0.5), over({1, 0, 0, 1}, 0.4, below)));
}

TEST_F(OverlayViewTest, TheReadoutShowsWhileMovingAndItsHidingRedrawsTheWindowOnce) {
    showCover({100, 200, 300, 150});
    runUntilIdle();
    auto position = host().find(ui::Query::byText("100, 550"));
    ASSERT_TRUE(position);
    EXPECT_TRUE(host().find(ui::Query::byText("300 \u00d7 150")));
    EXPECT_EQ(position.opacity(), 0);

    input().mouseDown(at(150, 50));
    input().moveMouse(at(160, 50));
    runUntilIdle();
    advance(0.15);
    EXPECT_EQ(host().find(ui::Query::byText("110, 550")).opacity(), 1);
    const Color readout = seen(150, 75);
    EXPECT_LT(readout.red + readout.green + readout.blue, 0.5) << "the dark readout is drawn";
    const int before = displays();
    input().mouseUp(at(150, 50));
    runUntilIdle();
    EXPECT_EQ(displays(), before + 1);
    advance(0.15);
    EXPECT_EQ(host().find(ui::Query::byText("110, 550")).opacity(), 0);
    EXPECT_EQ(displays(), before + 1);
}

// A move step changes only the readout: neither the cover's body is built again nor the rest of
// its picture drawn again.
TEST_F(OverlayViewTest, AStepOfAMoveRedrawsOnlyTheReadout) {
    showCover({100, 200, 300, 150});
    runUntilIdle();
    input().mouseDown(at(150, 50));
    input().moveMouse(at(160, 50));
    runUntilIdle();
    advance(0.15);
    (void)seen(150, 75);
    auto& panel = static_cast<sim::SimPanel&>(window());
    panel.clearDamagedRects();
    const int asked = panel.needsDisplayCount();
    input().moveMouse(at(160, 50));
    runUntilIdle();
    ASSERT_TRUE(host().find(ui::Query::byText("120, 550")));
    std::vector<std::uint64_t> passes;
    std::function<void(const ui::Node&)> collect = [&](const ui::Node& node) {
        passes.push_back(node.builtPass());
        for (const auto& child : node.children()) collect(*child);
    };
    collect(*host().root().node());
    const auto latest = *std::max_element(passes.begin(), passes.end());
    // The readout's views are built again (22 of them); the cover's body would add a dozen more.
    EXPECT_LE(std::count(passes.begin(), passes.end(), latest), 24);
    EXPECT_EQ(panel.needsDisplayCount(), asked + 1) << "no request to draw everything";
    ASSERT_FALSE(panel.damagedRects().empty());
    for (const Rect& rect : panel.damagedRects()) EXPECT_LT(rect.width(), 150);
    input().mouseUp(at(150, 50));
}

TEST_F(OverlayViewTest, TheReadoutTruncatesTowardZero) {
    const Screen main{1, {0, 0, 1440, 900}, {0, 0, 1440, 876}};
    const auto numbers = OverlayInfoView::numbers({-3.7, 200, 299.7, 150.2}, main);
    EXPECT_EQ(OverlayInfoView::positionText(numbers), "-3, 549");
    EXPECT_EQ(OverlayInfoView::sizeText(numbers), "299 \u00d7 150");
    const auto huge = OverlayInfoView::numbers({1e300, 0, 1e300, -1e300}, std::nullopt);
    EXPECT_EQ(huge.x, std::numeric_limits<std::int64_t>::max());
}

TEST_F(OverlayViewTest, TheReadoutMeasuresFromTheTopOfTheMainScreen) {
    const Screen above{2, {0, 900, 1440, 900}, {0, 900, 1440, 876}};
    const auto numbers = OverlayInfoView::numbers({100, 1500, 300, 100}, above);
    EXPECT_EQ(numbers.y, 200) << "also when the main screen is not the one at the origin";
}

}  // namespace
}  // namespace talvori
