#include <functional>
#include <string>
#include <vector>

#include "covers/CoverSamples.hpp"
#include "covers/OverlayWindowController.hpp"
#include "platform/Platform.hpp"
#include "platform/x11/X11DesktopTest.hpp"

namespace talvori::testing {
namespace {

class X11CoversTest : public X11DesktopTest {
  protected:
    // A cover at `frame` of the global space (y up from the bottom of the 800-point screen).
    void showCover(const Rect& frame) {
        OverlayModel model = sampleCover();
        model.frame = CodableRect::fromRect(frame);
        model.opacity = 1;
        viewModel = std::make_shared<OverlayViewModel>(std::move(model));
        controller = OverlayWindowController::create(viewModel);
        controller->show();
        ASSERT_TRUE(runUntil([&] { return driver().isViewable(window()); }));
    }
    xcb_window_t window() const { return controller->panel()->window().windowNumber(); }
    Rect recordFrame() const { return viewModel->model.peek().frame.rect(); }
    bool isAt(int x, int y, int width, int height) const {
        return driver().rootGeometry(window()) == std::vector<int>{x, y, width, height};
    }
    bool isAttached() const { return viewModel->model.peek().attachmentInfo.has_value(); }

    std::shared_ptr<OverlayViewModel> viewModel;
    std::shared_ptr<OverlayWindowController> controller;
};

TEST_F(X11CoversTest, ShowsAtItsFrameTakesDragsAndKeysAndLetsClicksThroughWhenAsked) {
    const auto below = openClient("Below", 100, 100, 700, 500, 0x30a050);
    const auto other = openClient("Other", 900, 100, 300, 300, 0x5030a0);
    showCover(Rect(200, 300, 300, 200));
    // Bottom-left global space to the top-left root: 800 - (300 + 200) = 300.
    EXPECT_TRUE(isAt(200, 300, 300, 200));
    EXPECT_TRUE(runUntil([&] { return driver().pixel(350, 400).red > 200; }));
    screenshot("cover");

    // The user's hand moves in time: the program sees each step before the next.
    for (const auto& step : std::vector<std::function<void()>>{
             [&] { driver().moveMouse(350, 400); }, [&] { driver().buttonDown(); },
             [&] { driver().moveMouse(370, 420); }, [&] { driver().moveMouse(390, 440); },
             [&] { driver().buttonUp(); }}) {
        step();
        runFor(0.03);
    }
    EXPECT_TRUE(runUntil([&] { return isAt(240, 340, 300, 200); }));
    EXPECT_EQ(recordFrame().origin, (Point{240, 260}));

    // The click made the cover the key window: arrows nudge it.
    driver().tap(X11TestDriver::kRight);
    EXPECT_TRUE(runUntil([&] { return recordFrame().origin == (Point{241, 260}); }));
    EXPECT_TRUE(runUntil([&] { return isAt(241, 340, 300, 200); }));

    activate(other.window);
    viewModel->setClickThroughEnabled(true);
    controller->syncPanelState();
    runFor(0.1);
    driver().click(390, 440);
    EXPECT_TRUE(runUntil([&] { return driver().activeWindow() == below.window; }));
    EXPECT_TRUE(isAt(241, 340, 300, 200));
}

TEST_F(X11CoversTest, FollowsTheWindowItIsAttachedToAndLetsGoWhenItCloses) {
    const auto target = openClient("Target", 500, 200, 400, 300, 0x2060c0);
    showCover(Rect(520, 350, 200, 100));
    const auto start = driver().rootGeometry(window());
    ASSERT_EQ(start.size(), 4U);
    controller->attach(
        RunningApplication{target.pid, "Target", "Target", ActivationPolicy::regular});
    ASSERT_TRUE(runUntil([&] { return isAttached(); }));

    ASSERT_EQ(session().run({"xdotool", "windowmove", std::to_string(target.window), "560", "260"}),
              0);
    EXPECT_TRUE(runUntil([&] { return isAt(start[0] + 60, start[1] + 60, 200, 100); }));

    session().end(target.pid);
    EXPECT_TRUE(runUntil([&] { return !isAttached(); }));
    EXPECT_TRUE(driver().isViewable(window()));
}

TEST_F(X11CoversTest, AttachingToAWindowThatJustVanishedLeavesTheCoverAlone) {
    const auto target = openClient("Target", 500, 200, 400, 300, 0x2060c0);
    showCover(Rect(520, 350, 200, 100));
    // The window is gone on the server before the program has heard of it.
    driver().destroy(target.window);
    controller->attach(
        RunningApplication{target.pid, "Target", "Target", ActivationPolicy::regular});
    runFor(0.3);
    EXPECT_FALSE(isAttached());
    EXPECT_TRUE(driver().isViewable(window()));
}

}  // namespace
}  // namespace talvori::testing
