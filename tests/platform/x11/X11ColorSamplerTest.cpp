#include <optional>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/desktop/EventType.hpp"
#include "platform/x11/X11ColorSampler.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"

namespace talvori::testing {
namespace {

class X11ColorSamplerTest : public X11DesktopTest {
  protected:
    // Starts picking; `picked` holds the answer once there is one.
    void begin() {
        answered = false;
        picked.reset();
        platform().colorSampler().begin([this](std::optional<Color> color) {
            answered = true;
            picked = color;
        });
    }
    bool answeredWith(const std::optional<Color>& color) {
        return runUntil([&] { return answered; }) && picked == color;
    }

    bool answered = false;
    std::optional<Color> picked;
};

TEST_F(X11ColorSamplerTest,
       PicksTheScreensPixelWithALoupeAsideEscapeGivesUpUnseenAndAHeldGrabEndsIt) {
    openClient("Swatch", 200, 200, 300, 200, 0x3366cc);
    // What the rest of the session does: the sampler's clicks and keys are not part of it.
    int seen = 0;
    auto monitor = platform().input().addGlobalMonitor(
        eventMaskBit(EventType::leftMouseDown) | eventMaskBit(EventType::keyDown),
        [&](const Event&) { ++seen; });

    begin();
    auto& sampler = static_cast<x11::X11ColorSampler&>(platform().colorSampler());
    driver().moveMouse(350, 300);
    ASSERT_TRUE(runUntil([&] {
        const auto loupe =
            sampler.loupe() ? driver().rootGeometry(sampler.loupe()) : std::vector<int>{};
        return loupe.size() == 4 && loupe[0] > 350 && loupe[1] > 300;
    }));
    catchUp();
    screenshot("color-sampler-loupe");
    driver().click(350, 300);
    EXPECT_TRUE(answeredWith(Color::rgb255(0x33, 0x66, 0xcc)));
    EXPECT_FALSE(driver().isViewable(sampler.loupe()));

    begin();
    // Its grab of the keyboard is in place.
    catchUp();
    driver().tap(X11TestDriver::kEscape);
    EXPECT_TRUE(answeredWith(std::nullopt));
    catchUp();
    EXPECT_EQ(seen, 0);
    // Done: the session's clicks are the session's again.
    driver().click(600, 600);
    EXPECT_TRUE(runUntil([&] { return seen == 1; }));

    // While another program holds the pointer (an open menu) it waits a moment, then gives up.
    xcb_connection_t* other = driver().connection();
    auto* grab = xcb_grab_pointer_reply(
        other,
        xcb_grab_pointer(other, 0, driver().root(), XCB_EVENT_MASK_BUTTON_PRESS,
                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_WINDOW_NONE, XCB_CURSOR_NONE,
                         XCB_CURRENT_TIME),
        nullptr);
    ASSERT_TRUE(grab && grab->status == XCB_GRAB_STATUS_SUCCESS);
    std::free(grab);
    begin();
    EXPECT_TRUE(answeredWith(std::nullopt));
}

}  // namespace
}  // namespace talvori::testing
