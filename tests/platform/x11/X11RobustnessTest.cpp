#include <cstdlib>

#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowListOption.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"

namespace talvori::testing {
namespace {

class X11RobustnessTest : public X11DesktopTest {};

TEST_F(X11RobustnessTest, AServerKilledUnderTheProgramEndsItsLoopWithAMessage) {
    auto panel =
        platform().application().makePanel(Rect(10, 10, 100, 100), StyleMask::nonactivatingPanel);
    panel->orderFront();
    runFor(0.05);
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

}  // namespace
}  // namespace talvori::testing
