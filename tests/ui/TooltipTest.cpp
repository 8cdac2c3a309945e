#include "WindowedViewTest.hpp"
#include "platform/desktop/Screens.hpp"
#include "ui/Tooltip.hpp"

namespace talvori::ui::testing {
namespace {

class TooltipTest : public WindowedViewTest {
  protected:
    void showButton(const Rect& frame) {
        show(VStack(0, {Text("Record").frame(120, 24).help("Record a new shortcut"), Spacer(0)})
                 .frame(
                     {.maxWidth = infinity, .maxHeight = infinity, .alignment = Alignment::top()}),
             frame);
    }
    std::shared_ptr<Panel> tooltip() const {
        auto found = windowsAtLevel(WindowLevel::popUpMenu);
        return found.empty() ? nullptr : found.front();
    }
};

TEST_F(TooltipTest, ShowsAfterTheDelayBelowThePointerAndGoesWhenThePointerLeavesOrClicks) {
    showButton(Rect(300, 500, 200, 100));
    const Point pointer = global(center(views().find(Query::byText("Record")).frame()));
    input().moveMouse(pointer);
    runUntilIdle();
    advance(Tooltip::kDelay - 0.01);
    EXPECT_FALSE(tooltip());
    advance(0.02);
    const auto window = tooltip();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->frame().minX(), pointer.x);
    EXPECT_EQ(window->frame().maxY(), pointer.y - Tooltip::kPointerClearance);
    EXPECT_TRUE(window->ignoresMouseEvents());
    writePicture("/tmp/x/tooltip.png");
    const auto picture = sim::ScreenPicture::render(world());
    EXPECT_GT(picture.colorAt({window->frame().minX() + 2, window->frame().midY()}).alpha, 0.9);

    input().moveMouse(global({60, 80}));
    runUntilIdle();
    EXPECT_FALSE(tooltip());

    // Back on the view, a click before and after the delay.
    input().moveMouse(pointer);
    runUntilIdle();
    advance(Tooltip::kDelay + 0.01);
    ASSERT_TRUE(tooltip());
    input().click(pointer);
    runUntilIdle();
    EXPECT_FALSE(tooltip());
    panel->orderOut();
    runUntilIdle();
    advance(Tooltip::kDelay * 2);
    EXPECT_FALSE(tooltip());
}

TEST_F(TooltipTest, StaysInsideTheScreensVisibleFrame) {
    const Rect visible = platform().screens().screens().front().visibleFrame;
    showButton(Rect(visible.maxX() - 125, visible.minY(), 125, 30));
    const Point pointer = global(center(views().find(Query::byText("Record")).frame()));
    input().moveMouse(pointer);
    runUntilIdle();
    advance(Tooltip::kDelay);
    const auto window = tooltip();
    ASSERT_TRUE(window);
    EXPECT_TRUE(visible.contains(window->frame().origin));
    EXPECT_LE(window->frame().maxX(), visible.maxX());
    EXPECT_GT(window->frame().minY(), pointer.y) << "above the pointer, there being no room below";
}

}  // namespace
}  // namespace talvori::ui::testing
