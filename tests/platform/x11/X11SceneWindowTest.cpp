#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/desktop/ActivationPolicy.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {
namespace {

class X11SceneWindowTest : public X11DesktopTest {
  protected:
    xcb_window_t openScene(const ui::View& content = ui::Text("General"),
                           bool hidesTitleBar = false) {
        SceneDescription scene;
        scene.identifier = "settings";
        scene.title = "Talvori Settings";
        scene.appearance = Appearance::dark;
        scene.hidesTitleBar = hidesTitleBar;
        scene.makeContent = [content] {
            return ui::PanelHost::make(content.frame({.width = 320, .height = 200}));
        };
        platform().application().registerScene(scene);
        platform().application().openWindow("settings");
        const auto window = platform().application().sceneWindow("settings");
        if (!window) return XCB_WINDOW_NONE;
        const xcb_window_t number = window->windowNumber();
        EXPECT_TRUE(runUntil([&] { return driver().isViewable(number); }));
        return number;
    }
    bool isAt(xcb_window_t window, const std::vector<int>& geometry) const {
        return driver().rootGeometry(window) == geometry;
    }
};

TEST_F(X11SceneWindowTest, SceneWindowsCarryTheirIconMachinePingAndFrameAndAnswerThePing) {
    // The program has no window of its own in the task bar, but its Settings window has one.
    platform().application().setActivationPolicy(ActivationPolicy::accessory);
    const xcb_window_t window = openScene();
    ASSERT_NE(window, XCB_WINDOW_NONE);
    const auto states = driver().cardinals(window, "_NET_WM_STATE");
    for (const char* skip : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        EXPECT_EQ(std::find(states.begin(), states.end(), driver().atom(skip)), states.end());
    }
    const auto icon = driver().cardinals(window, "_NET_WM_ICON");
    ASSERT_GT(icon.size(), 2U);
    EXPECT_EQ(icon[0], 16U);
    EXPECT_EQ(icon[1], 16U);
    // The icon's middle is opaque.
    EXPECT_EQ(icon[2 + 8 * 16 + 8] >> 24, 0xFFU);
    const auto protocols = driver().cardinals(window, "WM_PROTOCOLS");
    EXPECT_NE(std::find(protocols.begin(), protocols.end(), driver().atom("_NET_WM_PING")),
              protocols.end());
    auto* machine =
        xcb_get_property_reply(driver().connection(),
                               xcb_get_property(driver().connection(), 0, window,
                                                XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 0, 64),
                               nullptr);
    ASSERT_TRUE(machine);
    EXPECT_GT(xcb_get_property_value_length(machine), 0);
    std::free(machine);
    // Window managers that draw frames by the toolkit's theme draw this one dark.
    auto* variant = xcb_get_property_reply(
        driver().connection(),
        xcb_get_property(driver().connection(), 0, window, driver().atom("_GTK_THEME_VARIANT"),
                         XCB_GET_PROPERTY_TYPE_ANY, 0, 16),
        nullptr);
    ASSERT_TRUE(variant);
    EXPECT_EQ(std::string(static_cast<const char*>(xcb_get_property_value(variant)),
                          static_cast<std::size_t>(xcb_get_property_value_length(variant))),
              "dark");
    std::free(variant);
    screenshot("scene-window");

    // The window manager pings; the answer comes back to the root.
    xcb_connection_t* manager = xcb_connect(session().display().c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(manager)).data->root;
    const std::uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
    xcb_change_window_attributes(manager, root, XCB_CW_EVENT_MASK, events);
    xcb_client_message_event_t ping{};
    ping.response_type = XCB_CLIENT_MESSAGE;
    ping.format = 32;
    ping.window = window;
    ping.type = driver().atom("WM_PROTOCOLS");
    ping.data.data32[0] = driver().atom("_NET_WM_PING");
    ping.data.data32[1] = 1234;
    ping.data.data32[2] = window;
    xcb_send_event(manager, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<char*>(&ping));
    xcb_flush(manager);
    bool answered = false;
    EXPECT_TRUE(runUntil([&] {
        while (xcb_generic_event_t* event = xcb_poll_for_event(manager)) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            answered = answered || ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE &&
                                    message->window == root && message->data.data32[1] == 1234 &&
                                    message->data.data32[2] == window);
            std::free(event);
        }
        return answered;
    }));
    xcb_disconnect(manager);
}

// Without a title bar the window is held by its background: the window manager moves it (or,
// where none runs, the window follows the drag itself), and a press on a button still presses it.
TEST_F(X11SceneWindowTest, AWindowWithoutTitleBarMovesByItsBackgroundAndItsButtonsStillPress) {
    int presses = 0;
    const xcb_window_t window = openScene(
        ui::Button([&] { ++presses; },
                   ui::View(ui::Color(0.2, 0.5, 0.9, 1)).frame({.width = 100, .height = 40})),
        true);
    ASSERT_NE(window, XCB_WINDOW_NONE);
    // Where the window manager put it.
    ASSERT_TRUE(runUntilSteady<std::vector<int>>([&] { return driver().rootGeometry(window); }));
    const auto start = driver().rootGeometry(window);
    ASSERT_EQ(start.size(), 4U);
    drag(start[0] + 10, start[1] + 10, start[0] + 130, start[1] + 90, window);
    EXPECT_TRUE(runUntil([&] {
        return isAt(window, {start[0] + 120, start[1] + 80, start[2], start[3]});
    }));
    screenshot("scene-window-dragged");

    const auto moved = driver().rootGeometry(window);
    driver().click(moved[0] + moved[2] / 2, moved[1] + moved[3] / 2);
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
    ASSERT_TRUE(windowManagerCatchesUp(window));
    EXPECT_EQ(driver().rootGeometry(window), moved);

    // A window manager that crashed leaves its offer of the move behind on the root.
    ASSERT_NE(session().end(session().windowManagerPid(), SIGKILL, 2), -1);
    ASSERT_TRUE(runUntil([&] { return driver().frameOf(window) == window; }));
    catchUp();
    const auto alone = driver().rootGeometry(window);
    drag(alone[0] + 10, alone[1] + 10, alone[0] - 50, alone[1] + 50);
    EXPECT_TRUE(runUntil([&] {
        return isAt(window, {alone[0] - 60, alone[1] + 40, alone[2], alone[3]});
    }));
}

}  // namespace
}  // namespace talvori::testing
