#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using testing::SimDesktopTest;

class SimStatusBarTest : public SimDesktopTest {};

TEST_F(SimStatusBarTest, ASquareItemSitsAtTheTopRightOfTheFirstScreen) {
    auto item = platform().statusBar().makeStatusItem(StatusBar::kSquareLength);
    ASSERT_TRUE(item->button());
    EXPECT_TRUE(item->isVisible());
    EXPECT_EQ(item->button()->frameOnScreen(), Rect(1406, 876, 24, 24));
    EXPECT_EQ(item->button()->screen()->identifier, 1u);
    auto second = platform().statusBar().makeStatusItem(30);
    EXPECT_EQ(second->button()->frameOnScreen(), Rect(1376, 876, 30, 24));
    item.reset();
    EXPECT_EQ(second->button()->frameOnScreen(), Rect(1400, 876, 30, 24));
}

TEST_F(SimStatusBarTest, AClickRunsTheActionAfterTheLocalMonitors) {
    auto item = platform().statusBar().makeStatusItem(StatusBar::kSquareLength);
    std::vector<std::string> order;
    item->button()->setAction([&] { order.push_back("action"); });
    item->button()->setAccessibilityLabel("Talvori");
    auto monitor = platform().input().addLocalMonitor(
        eventMaskBit(EventType::leftMouseDown), [&](const Event& event) -> std::optional<Event> {
            EXPECT_EQ(event.windowNumber, item->button()->windowNumber());
            order.push_back("monitor");
            return event;
        });
    const Rect frame = item->button()->frameOnScreen();
    input().click({frame.midX(), frame.midY()});
    EXPECT_EQ(order, (std::vector<std::string>{"monitor", "action"}));
    EXPECT_EQ(item->button()->accessibilityLabel(), "Talvori");
}

TEST_F(SimStatusBarTest, ACrowdedBarHidesItemsAndItemsMayComeWithoutAButton) {
    auto item = platform().statusBar().makeStatusItem(StatusBar::kSquareLength);
    simStatusBar().setCrowded(true);
    EXPECT_FALSE(item->isVisible());
    EXPECT_TRUE(item->button()->visibleRectIsEmpty());
    EXPECT_FALSE(item->button()->isWindowVisible());
    simStatusBar().setCrowded(false);
    EXPECT_TRUE(item->isVisible());
    simStatusBar().setItemsWithoutButton(true);
    EXPECT_EQ(platform().statusBar().makeStatusItem(StatusBar::kSquareLength)->button(), nullptr);
}

TEST_F(SimStatusBarTest, WithoutScreensThereIsNowhereToShowTheItem) {
    auto item = platform().statusBar().makeStatusItem(StatusBar::kSquareLength);
    world().setScreens({});
    EXPECT_FALSE(item->isVisible());
    EXPECT_FALSE(item->button()->screen().has_value());
}

}  // namespace
}  // namespace talvori
