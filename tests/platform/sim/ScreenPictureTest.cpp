#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using testing::SimDesktopTest;

class FilledContent : public HostedContent {
  public:
    void draw(cairo_t* context, Size size) override {
        cairo_set_source_rgb(context, 1, 0, 0);
        cairo_rectangle(context, 0, 0, size.width / 2, size.height);
        cairo_fill(context);
    }
    Size fittingSize() override { return {10, 10}; }
};

class ScreenPictureTest : public SimDesktopTest {
  protected:
    std::int32_t editor = world().launchApplication("Editor");
};

TEST_F(ScreenPictureTest, HostedContentIsDrawnInThePanelAtItsAlpha) {
    auto panel = makePanel({100, 100, 200, 100});
    panel->setBackgroundColor(Color::clear());
    panel->setHostedContent(std::make_shared<FilledContent>());
    panel->orderFront();
    auto picture = desktop().picture();
    EXPECT_EQ(picture.colorAt({150, 150}), (Color{1, 0, 0, 1})) << "the left half, top-left origin";
    EXPECT_NE(picture.colorAt({250, 150}).red, 1.0);
    panel->setAlphaValue(0.5);
    const Color half = desktop().picture().colorAt({150, 150});
    EXPECT_NEAR(half.red, 0.5 + 0.5 * picture.colorAt({50, 150}).red, 0.02);
}

TEST_F(ScreenPictureTest, BlurMixesWhatLiesBeneathAcrossEdges) {
    world().openWindow(editor, "White", {200, 200, 400, 400});
    auto panel = makePanel({100, 100, 600, 600});
    panel->setBackgroundColor(Color::clear());
    panel->orderFront();
    const Point justOutside{195, 400};
    const double sharp = desktop().picture().colorAt(justOutside).green;
    ASSERT_TRUE(panel->setBackgroundBlurRadius(20));
    const double blurred = desktop().picture().colorAt(justOutside).green;
    EXPECT_GT(blurred, sharp + 0.1) << "the white window bleeds over its edge";
}

TEST_F(ScreenPictureTest, TheStatusItemShowsItsTemplateImageInTheMenuBar) {
    auto item = platform().statusBar().makeStatusItem(StatusBar::kSquareLength);
    item->button()->setImage(Image{{18, 18}, true, [](cairo_t* context, Size size) {
                                       cairo_set_source_rgb(context, 1, 1, 1);
                                       cairo_rectangle(context, 0, 0, size.width, size.height);
                                       cairo_fill(context);
                                   }});
    const Rect frame = item->button()->frameOnScreen();
    const Color center = desktop().picture().colorAt({frame.midX(), frame.midY()});
    EXPECT_LT(center.red, 0.3) << "a template is tinted dark on the light menu bar";
}

TEST_F(ScreenPictureTest, TheImageSpansEveryScreen) {
    world().setScreens({{0, 0, 800, 600}, {800, -100, 400, 300}});
    const auto picture = desktop().picture();
    EXPECT_EQ(picture.width(), 1200);
    EXPECT_EQ(picture.height(), 700);
    EXPECT_EQ(picture.colorAt({1000, 500}), (Color{0, 0, 0, 1})) << "outside every screen";
    EXPECT_EQ(picture.colorAt({-5, 0}), Color::clear());
}

}  // namespace
}  // namespace talvori
