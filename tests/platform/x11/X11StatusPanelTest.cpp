#include <memory>
#include <optional>
#include <string>

#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "covers/PresetManager.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::testing {
namespace {

// The status panel on icewm, whose task bar with the tray runs along the bottom of the screen: the
// panel opens upwards from it and grows upwards.
class X11StatusPanelTest : public X11DesktopTest {
  protected:
    X11StatusPanelTest() : X11DesktopTest({.desktop = X11TestDesktop::icewm, .tray = true}) {}

    MenuBarPanelController& menuBar() const { return manager->menuBarPanelController(); }
    std::optional<Rect> steadyFrame(const std::string& label) {
        const auto frame = [&]() -> std::optional<Rect> {
            const auto node = menuBar().hostingView()->host().find(ui::Query::byLabel(label));
            return node ? node.frameOnScreen() : std::nullopt;
        };
        std::optional<Rect> seen;
        if (!runUntil([&] { return frame().has_value(); }) ||
            !runUntilSteady<std::optional<Rect>>([&] { return seen = frame(); })) {
            return std::nullopt;
        }
        return seen;
    }
    std::size_t layoutsStored() const {
        return PresetManager(PresetManager::standardKey,
                             platform().userDefaults().shared_from_this())
            .load()
            .size();
    }

    std::shared_ptr<RuntimeCoordinator> coordinator;
    std::shared_ptr<WindowManager> manager;
};

// Saving a layout adds its row and the panel grows upwards under the pointer: a second click at the
// same place would rename the new layout, which the user never pointed at.
TEST_F(X11StatusPanelTest, AClickWhereThePanelGrewUnderAStillPointerIsDropped) {
    coordinator = RuntimeCoordinator::create();
    manager = coordinator->startRuntime();
    ASSERT_TRUE(runUntil([&] { return menuBar().statusItemScreenAnchor().has_value(); }));
    const auto icon = driver().rootGeometry(menuBar().statusItemScreenAnchor()->window);
    ASSERT_EQ(icon.size(), 4U);
    ASSERT_GT(icon[1], 700);
    manager->createCover();
    driver().click(icon[0] + icon[2] / 2, icon[1] + icon[3] / 2);
    ASSERT_TRUE(runUntil([&] {
        const auto& panel = menuBar().panel();
        return panel && panel->isVisible() && driver().isViewable(panel->windowNumber());
    }));
    const auto save = steadyFrame("Save as layout");
    ASSERT_TRUE(save);
    // Near the button's left end, where the new row's Activate button comes.
    const Point at{save->minX() + 8, save->midY()};
    // The global space is y up, the root's y down.
    const auto clickAt = [&] {
        driver().click(static_cast<int>(at.x), 800 - static_cast<int>(at.y));
    };
    clickAt();
    ASSERT_TRUE(runUntil([&] { return layoutsStored() == 1; }));
    const auto activate = steadyFrame("Activate layout");
    ASSERT_TRUE(activate && activate->contains(at));
    clickAt();
    catchUp();
    EXPECT_FALSE(menuBar().hostingView()->host().find(ui::Query::byLabel("Deactivate layout")));
    EXPECT_EQ(layoutsStored(), 1U);
}

// The panel's shortcut as a hand presses it: the key still down while the program answers it. The
// panel shows and hides at every press, however it was last closed.
TEST_F(X11StatusPanelTest, ItsShortcutShowsAndHidesThePanelAtEveryPress) {
    platform().userDefaults().set("hasCompletedOnboarding", true);
    coordinator = RuntimeCoordinator::create();
    manager = coordinator->startRuntime();
    ASSERT_TRUE(runUntil([&] { return menuBar().statusItemScreenAnchor().has_value(); }));
    constexpr std::uint8_t kD = 32;
    const auto press = [&] {
        driver().keyDown(X11TestDriver::kLeftShift);
        driver().keyDown(X11TestDriver::kLeftSuper);
        driver().keyDown(kD);
        catchUp();
        driver().keyUp(kD);
        driver().keyUp(X11TestDriver::kLeftSuper);
        driver().keyUp(X11TestDriver::kLeftShift);
        catchUp();
    };
    std::string seen;
    const auto see = [&](bool expected) {
        runUntil([&] { return menuBar().isPanelVisible() == expected; }, 2);
        seen += menuBar().isPanelVisible() ? 'y' : 'n';
    };
    for (const bool shown : {true, false, true, false}) {
        press();
        see(shown);
    }
    press();
    see(true);
    driver().tap(X11TestDriver::kEscape);
    see(false);
    press();
    see(true);
    driver().click(200, 200);
    see(false);
    press();
    see(true);
    EXPECT_EQ(seen, "ynynynyny") << "y: shown, n: hidden, after each press, Escape and click";
}

}  // namespace
}  // namespace talvori::testing
