#include <cstdlib>
#include <utility>

#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowEventHandler.hpp"
#include "platform/desktop/WindowListOption.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::testing {
namespace {

class X11RobustnessTest : public X11DesktopTest {};

TEST_F(X11RobustnessTest, AServerKilledUnderTheProgramEndsItsLoopWithAMessage) {
    auto panel =
        platform().application().makePanel(Rect(10, 10, 100, 100), StyleMask::nonactivatingPanel);
    panel->orderFront();
    ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
    session().killServer();
    EXPECT_TRUE(runUntil([&] { return desktop().application().isTerminated(); }));
    EXPECT_TRUE(logs().contains("The connection to the X server closed; Talvori ends."));
    // Everything still answers, with nothing.
    EXPECT_FALSE(platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly));
    panel->setFrame(Rect(20, 20, 50, 50));
    panel->close();
}

TEST_F(X11RobustnessTest, XErrorsAreLoggedWithTheirRequestAndTheProgramGoesOn) {
    xcb_connection_t* raw = desktop().connection().raw();
    // A window that no longer exists, as when another program's window vanished meanwhile.
    const xcb_window_t gone = 0x1fffff;
    xcb_map_window(raw, gone);
    const std::uint32_t stacking[] = {XCB_STACK_MODE_ABOVE};
    xcb_configure_window(raw, gone, XCB_CONFIG_WINDOW_STACK_MODE, stacking);
    EXPECT_TRUE(runUntil([&] {
        return logs().contains("X error BadWindow in MapWindow (resource 0x1fffff)") &&
               logs().contains("X error BadWindow in ConfigureWindow (resource 0x1fffff)");
    }));
    auto panel =
        platform().application().makePanel(Rect(10, 10, 100, 100), StyleMask::nonactivatingPanel);
    panel->orderFront();
    EXPECT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
    EXPECT_FALSE(desktop().application().isTerminated());
}

class ClickCounter : public WindowEventHandler {
  public:
    bool mouseDown(Panel&, const Event&) override { return ++downs > 0; }
    bool mouseUp(Panel&, const Event&) override { return ++ups > 0; }
    int downs = 0;
    int ups = 0;
};

// On a loaded machine a click's release can come in while the program waits for a reply during
// its painting: the descriptor is quiet then, and the release must not wait for another wake-up.
TEST_F(X11RobustnessTest, EventsReadWhilePaintingAreHandledBeforeTheLoopSleeps) {
    auto counter = std::make_shared<ClickCounter>();
    auto panel =
        platform().application().makePanel(Rect(100, 100, 200, 200), StyleMask::nonactivatingPanel);
    panel->setEventHandler(counter);
    panel->orderFront();
    ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
    catchUp();
    auto& connection = desktop().connection();
    bool clickDuringPaint = true;
    connection.setBeforeFlush([&] {
        desktop().application().beforeFlush();
        if (!std::exchange(clickDuringPaint, false)) return;
        driver().click(200, 600);
        driver().sync();
        xcb_connection_t* raw = connection.raw();
        ASSERT_TRUE(x11::waitReply(xcb_get_input_focus_reply, raw, xcb_get_input_focus(raw)));
    });
    platform().runLoop().runOnce(0);
    EXPECT_EQ(counter->downs, 1);
    EXPECT_EQ(counter->ups, 1);
    connection.setBeforeFlush([&] { desktop().application().beforeFlush(); });
}

class X11WithoutWindowManagerTest : public X11DesktopTest {
  protected:
    X11WithoutWindowManagerTest() : X11DesktopTest({.windowManager = false, .compositor = false}) {
        ::setenv("XDG_SESSION_TYPE", "wayland", 1);
    }
    ~X11WithoutWindowManagerTest() override { ::unsetenv("XDG_SESSION_TYPE"); }
};

TEST_F(X11WithoutWindowManagerTest, StartsShowsPanelsAndSaysWhatItCannotDo) {
    EXPECT_TRUE(logs().contains(
        "This is a Wayland session: Talvori can see and follow only X11 (XWayland) windows, and "
        "its global shortcuts work only while an X11 window has the keyboard."));
    EXPECT_TRUE(logs().contains(
        "No window manager runs: windows cannot be activated or followed until one starts"));
    auto panel =
        platform().application().makePanel(Rect(10, 10, 100, 100), StyleMask::nonactivatingPanel);
    panel->setOpaque(true);
    panel->orderFront();
    EXPECT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
    EXPECT_TRUE(platform().accessibility().focusedApplication().error == AXError::noValue);
    EXPECT_FALSE(platform().workspace().frontmostApplication());
}

// A server without compositing keeps no copy of a hidden window, and has no 32-bit visual: panels
// use the screen's own, and draw again what another window uncovers, and only that.
class X11WithoutCompositingTest : public X11DesktopTest {
  protected:
    X11WithoutCompositingTest()
        : X11DesktopTest(
              {.windowManager = false, .compositor = false, .compositeExtension = false}) {}
};

TEST_F(X11WithoutCompositingTest, APanelRedrawsWhatAnotherWindowUncovers) {
    auto panel =
        platform().application().makePanel(Rect(100, 100, 200, 200), StyleMask::nonactivatingPanel);
    panel->setOpaque(true);
    panel->setBackgroundColor(Color{1, 0, 0, 1});
    panel->orderFront();
    // Global (100, 100) is root (100, 500) on the 800-point screen.
    const auto isRed = [&](int x, int y) {
        const auto pixel = driver().pixel(x, y);
        return pixel.red == 255 && pixel.green == 0 && pixel.blue == 0;
    };
    ASSERT_TRUE(runUntil([&] { return isRed(150, 550); }));
    const xcb_window_t popUp = driver().popUp(120, 520, 60, 60);
    EXPECT_TRUE(runUntil([&] { return !isRed(150, 550); }));
    catchUp();
    driver().destroy(popUp);
    EXPECT_TRUE(runUntil([&] { return isRed(150, 550) && isRed(121, 521) && isRed(179, 579); }));
    EXPECT_TRUE(isRed(250, 650));
}

}  // namespace
}  // namespace talvori::testing
