#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/RuntimeCoordinator.hpp"
#include "app/TalvoriApp.hpp"
#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/CoverSamples.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/X11DisplayScale.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {
namespace {

using x11::X11DisplayScale;

TEST(X11DisplayScaleTest, ChoosesWholeScalesFromTheDesktopsSettingsAndIgnoresNonsense) {
    EXPECT_EQ(X11DisplayScale::choose(nullptr, std::nullopt, ""), 1);
    EXPECT_EQ(X11DisplayScale::choose(nullptr, std::nullopt, "Xft.dpi:\t192\n"), 2);
    // Large text on a plain screen stays at one pixel per point; half again rounds up, as Qt does.
    EXPECT_EQ(X11DisplayScale::choose(nullptr, std::nullopt, "Xft.dpi: 120"), 1);
    EXPECT_EQ(X11DisplayScale::choose(nullptr, std::nullopt, "Xft.dpi: 144"), 2);
    EXPECT_EQ(X11DisplayScale::choose(nullptr, 2, "Xft.dpi: 96"), 2);
    EXPECT_EQ(X11DisplayScale::choose(nullptr, 1, "Xft.dpi: 192"), 2);
    // GDK_SCALE overrides the desktop either way.
    EXPECT_EQ(X11DisplayScale::choose("2", std::nullopt, ""), 2);
    EXPECT_EQ(X11DisplayScale::choose("1", 2, "Xft.dpi: 192"), 1);
    for (const char* bad : {"", "0", "-2", "two", "2.5", "2 "}) {
        EXPECT_EQ(X11DisplayScale::choose(bad, std::nullopt, ""), 1) << bad;
    }
    EXPECT_EQ(X11DisplayScale::choose("99", std::nullopt, ""), X11DisplayScale::kLargest);
    EXPECT_EQ(X11DisplayScale::choose(nullptr, -3, "Xft.dpi: 1e300"), X11DisplayScale::kLargest);
    // A scale that would push Settings off the screen is lowered until it fits.
    EXPECT_EQ(X11DisplayScale::fitting(3, 1280, 800), 1);
    EXPECT_EQ(X11DisplayScale::fitting(4, 3840, 2160), 3);
    EXPECT_EQ(X11DisplayScale::fitting(2, 2560, 1600), 2);
    EXPECT_EQ(X11DisplayScale::fitting(2, 640, 480), 1);

    EXPECT_EQ(X11DisplayScale::fontResolution("Xcursor.size: 48\n  Xft.dpi :\t192\r\n"), 192);
    EXPECT_EQ(X11DisplayScale::fontResolution("Xft.dpi: 96\nXft.dpi: 192"), 192);
    for (const char* bad : {"Xft.dpi: none", "Xft.dpi: -96", "Xft.dpi: nan",
                            "Xft.dpi:", "Xft.dpix: 192", "*dpi: 192", "Xft.dpi 192"}) {
        EXPECT_FALSE(X11DisplayScale::fontResolution(bad)) << bad;
    }
}

// Double size asked for on a 1280 x 800 screen, where Settings would not fit: the program draws at
// 1x and says why, once.
class X11LoweredScaleTest : public X11DesktopTest {
  protected:
    X11LoweredScaleTest() { setenv("GDK_SCALE", "2", 1); }
    ~X11LoweredScaleTest() override { unsetenv("GDK_SCALE"); }
};

TEST_F(X11LoweredScaleTest, AScaleTooLargeForTheScreenIsLoweredAndLoggedOnce) {
    ASSERT_FALSE(platform().screens().screens().empty());
    EXPECT_EQ(platform().screens().screens().front().frame, Rect(0, 0, 1280, 800));
    std::vector<std::string> told;
    for (const auto& message : logs().messages()) {
        if (message.find("asks for 2\u00d7") != std::string::npos) told.push_back(message);
    }
    ASSERT_EQ(told.size(), 1U);
    EXPECT_NE(told.front().find("1280 x 800"), std::string::npos) << told.front();
    EXPECT_NE(told.front().find("draws at 1\u00d7"), std::string::npos) << told.front();
}

// A 2560 x 1600 screen set up for double size, as a laptop with a dense display has: 1280 x 800
// points. The root's y runs down from the top, the global space's up from the bottom.
class X11ScaleTest : public X11DesktopTest {
  protected:
    X11ScaleTest()
        : X11DesktopTest(
              {.tray = true, .width = 2560, .height = 1600, .resources = "Xft.dpi:\t192\n"}) {}

    // Where a frame of the global space (points) must stand on the root (pixels): each edge on
    // the nearest pixel.
    static std::vector<int> pixelsOf(const Rect& frame) {
        const auto left = std::lround(2 * frame.minX()), right = std::lround(2 * frame.maxX());
        const auto top = std::lround(1600 - 2 * frame.maxY());
        const auto bottom = std::lround(1600 - 2 * frame.minY());
        return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                static_cast<int>(bottom - top)};
    }
    bool standsAtItsFrame(const Panel& panel) const {
        return driver().rootGeometry(panel.windowNumber()) == pixelsOf(panel.frame());
    }
    // A click where the element labelled `label` shows.
    void click(ui::Host& views, const std::string& label) {
        const auto node = views.find(ui::Query::byLabel(label));
        ASSERT_TRUE(node) << label;
        const Rect frame = node.frameOnScreen().value_or(Rect());
        driver().click(static_cast<int>(2 * frame.midX()),
                       static_cast<int>(1600 - 2 * frame.midY()));
    }
};

TEST_F(X11ScaleTest, WindowsStandAtTwiceTheirPointsAndClicksLandOnTheirViews) {
    ASSERT_EQ(platform().screens().screens().size(), 1U);
    EXPECT_EQ(platform().screens().screens()[0].frame, Rect(0, 0, 1280, 800));
    platform().userDefaults().set("hasCompletedOnboarding", true);
    const auto app = TalvoriApp::start();
    ASSERT_TRUE(runUntil([&] { return app->runtime()->windowManager.peek() != nullptr; }));
    const auto manager = app->runtime()->windowManager.peek();
    ASSERT_TRUE(manager);

    const auto cover = manager->createCover();
    cover->setEffectType(EffectType::solid);
    const auto& coverPanel = manager->windowControllers.peek().at(cover->id())->panel()->window();
    ASSERT_TRUE(runUntil([&] { return driver().isViewable(coverPanel.windowNumber()); }));
    EXPECT_EQ(coverPanel.frame().size, (Size{300, 200}));
    EXPECT_TRUE(standsAtItsFrame(coverPanel));

    // The control panel beside the cover the pointer rests on.
    const Rect frame = cover->model.peek().frame.rect();
    driver().moveMouse(static_cast<int>(2 * frame.midX()),
                       static_cast<int>(1600 - 2 * frame.midY()));
    auto& controls = manager->controlPanelController();
    ASSERT_TRUE(runUntil([&] { return controls.isPanelVisible(); }));
    const auto& card = *controls.panel();
    // Clicked once it has come in and come to rest.
    ASSERT_TRUE(runUntil([&] { return card.alphaValue() == 1; }));
    ASSERT_TRUE(runUntilSteady<Rect>([&] { return card.frame(); }));
    EXPECT_TRUE(runUntil([&] { return standsAtItsFrame(card); }));
    // The card's window begins at the cover's edge; its shadow fills the gap.
    EXPECT_EQ(driver().rootGeometry(card.windowNumber())[0],
              driver().rootGeometry(coverPanel.windowNumber())[0] + 600);
    ui::Host& views = controls.hostingView()->host();
    const double height = card.frame().height();
    click(views, "Show color picker");
    EXPECT_TRUE(runUntil([&] { return card.frame().height() > height; }))
        << "the click reached the button it was aimed at";
    EXPECT_TRUE(runUntil([&] { return standsAtItsFrame(card); }));
    screenshot("scale-2-control-panel");

    manager->showMenuBarPanel();
    const auto& menuBar = manager->menuBarPanelController();
    ASSERT_TRUE(runUntil([&] { return menuBar.panel() && menuBar.panel()->isVisible(); }));
    EXPECT_TRUE(runUntil([&] { return standsAtItsFrame(*menuBar.panel()); }));
    // 6 points under the status icon in the tray, which is in pixels, and 8 points inside the
    // screen's right edge.
    const auto anchor = menuBar.statusItemScreenAnchor();
    ASSERT_TRUE(anchor);
    const auto icon = driver().rootGeometry(anchor->window);
    const auto panel = driver().rootGeometry(menuBar.panel()->windowNumber());
    EXPECT_EQ(panel[1], icon[1] + icon[3] + 12);
    EXPECT_EQ(panel[0] + panel[2], 2560 - 16);
    screenshot("scale-2-menu-bar-panel");
}

// Other programs' frames are in pixels, at odd ones too: a cover laid over one, and the Focus
// panel's clear hole, meet them exactly.
TEST_F(X11ScaleTest, CoversAndFocusLineUpWithOtherProgramsFrames) {
    const auto behind = openClient("Backdrop", 0, 0, 2560, 1600, 0xc0c0c0);
    const auto target = openClient("Target", 300, 200, 801, 601, 0x2060c0);
    const auto content = driver().rootGeometry(target.window);
    ASSERT_EQ(content.size(), 4U);
    OverlayModel model = sampleCover();
    model.frame = CodableRect::fromRect(
        Rect(content[0] / 2.0, (1600 - content[1] - 601) / 2.0, 801 / 2.0, 601 / 2.0));
    model.opacity = 1;
    auto viewModel = std::make_shared<OverlayViewModel>(std::move(model));
    auto controller = OverlayWindowController::create(viewModel);
    controller->show();
    const xcb_window_t cover = controller->panel()->window().windowNumber();
    const auto coversTarget = [&] {
        return driver().rootGeometry(cover) == driver().rootGeometry(target.window);
    };
    EXPECT_TRUE(runUntil(coversTarget));
    controller->attach(
        RunningApplication{target.pid, "Target", "Target", ActivationPolicy::regular});
    ASSERT_TRUE(runUntil([&] { return viewModel->model.peek().attachmentInfo.has_value(); }));
    ASSERT_EQ(session().run({"xdotool", "windowmove", std::to_string(target.window), "362", "248"}),
              0);
    EXPECT_TRUE(runUntil(coversTarget));
    screenshot("scale-2-cover-on-window");
    controller->close();
    // The cover fades out over the window before the window's own colour can be read.
    ASSERT_TRUE(runUntil([&] { return !driver().isViewable(cover); }));

    activate(target.window);
    // The window manager may animate the window as it comes to the front.
    const auto inTarget = driver().middleOf(target.window);
    // The backdrop's far corner, where no frame of the moved target reaches.
    const auto inBackdrop = driver().pointIn(behind.window, 2400, 1500);
    ASSERT_TRUE(driver().showsAlone(behind.window, inBackdrop));
    ASSERT_TRUE(runUntilSteady<int>([&] { return driver().pixel(inTarget).brightness(); }));
    const auto lit = driver().pixel(inTarget);
    const auto backdrop = driver().pixel(inBackdrop);
    auto focus = SpotlightController::create(SpotlightPanelManager::create(),
                                             PermissionManager::shared(), UserDefaults::inMemory());
    focus->activate();
    const auto moved = driver().rootGeometry(target.window);
    const int left = moved[0], top = moved[1];
    const int right = left + moved[2] - 1, bottom = top + moved[3] - 1;
    // The window's own corners clear; the screen's far corner and the frame's outside dimmed.
    EXPECT_TRUE(runUntil([&] {
        return driver().pixel(left, top).brightness() == lit.brightness() &&
               driver().pixel(right, bottom).brightness() == lit.brightness() &&
               isDimmed(driver().pixel(inBackdrop).brightness(), backdrop.brightness()) &&
               isDimmed(driver().pixel(right + 40, bottom + 40).brightness(),
                        backdrop.brightness());
    })) << lit.brightness()
        << " " << driver().pixel(left, top).brightness() << " "
        << driver().pixel(right, bottom).brightness() << " " << backdrop.brightness() << " "
        << driver().pixel(inBackdrop).brightness();
    screenshot("scale-2-focus");
    focus->deactivate();
}

}  // namespace
}  // namespace talvori::testing
