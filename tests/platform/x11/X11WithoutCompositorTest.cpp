#include <xcb/shape.h>

#include <memory>

#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {
namespace {

// Nothing blends: a translucent window shows its colours over black.
class X11WithoutCompositorTest : public X11DesktopTest {
  protected:
    X11WithoutCompositorTest() : X11DesktopTest({.windowManager = true, .compositor = false}) {}

    std::shared_ptr<Panel> showPanel(const Rect& frame, const ui::View& content) {
        auto panel = platform().application().makePanel(frame, StyleMask::nonactivatingPanel);
        panel->setOpaque(false);
        panel->setBackgroundColor(Color::clear());
        panel->setHostedContent(ui::PanelHost::make(content));
        panel->orderFront();
        return panel;
    }
    bool isShaped(const std::shared_ptr<Panel>& panel) const {
        xcb_connection_t* connection = driver().connection();
        auto* extents = xcb_shape_query_extents_reply(
            connection, xcb_shape_query_extents(connection, panel->windowNumber()), nullptr);
        const bool shaped = extents && extents->bounding_shaped;
        free(extents);
        return shaped;
    }
    static bool near(const X11TestDriver::Rgb& seen, int red, int green, int blue) {
        return std::abs(seen.red - red) <= 8 && std::abs(seen.green - green) <= 8 &&
               std::abs(seen.blue - blue) <= 8;
    }
};

TEST_F(X11WithoutCompositorTest, ACardShowsWithoutItsShadowMarginOrCornersAndACoverShowsWhole) {
    const auto below = openClient("Below", 100, 100, 700, 600, 0x30a050);
    // What shows through the card's margin is the content of the window below, whatever frame
    // the window manager drew around it.
    ASSERT_TRUE(driver().showsAlone(below.window, {200, 300}));
    ASSERT_TRUE(driver().showsAlone(below.window, {499, 499}));
    // A card as the control panel draws it: rounded, on a clear ground, with a shadow around it.
    // Root (200, 300) to (500, 500); the card from (220, 320) to (480, 480).
    const auto card = showPanel(Rect(200, 300, 300, 200), ui::RoundedRectangle(12)
                                                              .fill(ui::Color(Palette::ink))
                                                              .padding(20)
                                                              .shadow(Palette::black70, 20, 0, 12));
    // A cover at 40 %: all of it is content.
    auto cover =
        platform().application().makePanel(Rect(600, 100, 100, 100), StyleMask::nonactivatingPanel);
    cover->setOpaque(false);
    cover->setBackgroundColor(Color::clear());
    cover->setShapedToContent(false);
    cover->setHostedContent(ui::PanelHost::make(ui::Color(1, 0, 0, 0.4)));
    cover->orderFront();

    ASSERT_TRUE(runUntil([&] {
        return near(driver().pixel(350, 400), 21, 24, 32) &&
               near(driver().pixel(650, 650), 102, 0, 0);
    }));
    catchUp();
    screenshot("without-compositor-card");
    EXPECT_TRUE(near(driver().pixel(205, 305), 0x30, 0xa0, 0x50)) << "the shadow margin";
    EXPECT_TRUE(near(driver().pixel(350, 483), 0x30, 0xa0, 0x50)) << "the shadow's core below";
    EXPECT_TRUE(near(driver().pixel(221, 321), 0x30, 0xa0, 0x50)) << "outside a rounded corner";
    EXPECT_TRUE(near(driver().pixel(222, 400), 21, 24, 32)) << "the card's own edge";
    EXPECT_TRUE(near(driver().pixel(650, 650), 102, 0, 0)) << "the cover, opaque";

    // With a compositor the margin blends again: the window has its whole rectangle back.
    ASSERT_TRUE(session().startCompositor()) << session().error();
    EXPECT_TRUE(runUntil([&] { return !isShaped(card); }));
    EXPECT_FALSE(isShaped(cover));
}

}  // namespace
}  // namespace talvori::testing
