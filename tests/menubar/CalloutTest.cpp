#include <cstdlib>

#include "controls/CoachMarkShape.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "menubar/MenuBarCoachMarkView.hpp"
#include "platform/desktop/HotKeyModifiers.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "ui/UiTest.hpp"

namespace talvori::ui::testing {
namespace {

constexpr std::uint16_t kEscape = 53;
constexpr std::uint16_t kReturn = 36;
// A menu bar of 24 points along the top.
const Screen kScreen{1, {0, 0, 1440, 900}, {0, 0, 1440, 876}};
// A status item near the right end of the menu bar.
const Rect kItem(1410, 876, 24, 22);

class CalloutTest : public UiTest {
  protected:
    CalloutTest() {
        statusWindow->orderFront();
        // Keys reach our monitors while we are the active application.
        platform().application().activate();
        runUntilIdle();
    }

    static std::optional<CalloutPlacement> place(const Rect& anchor,
                                                 const Screen& screen = kScreen) {
        return MenuBarCoachMarkController::updateCalloutPlacement(anchor, 236, 80, screen);
    }
    static std::optional<CalloutPlacement> place(const Rect& anchor, const Rect& frame) {
        return place(anchor, Screen{2, frame, frame});
    }
    bool showCoachMark(const Rect& anchor = kItem) {
        const bool shown = coachMark->show(anchor, kScreen, {statusWindow->windowNumber()});
        runUntilIdle();
        return shown;
    }
    bool showCallout() {
        const bool shown = callout->show(kItem, kScreen, {statusWindow->windowNumber()});
        runUntilIdle();
        return shown;
    }
    sim::KeyDelivery key(std::uint16_t code) {
        const auto delivery = input().typeKey(sim::KeyStroke::key(code));
        runUntilIdle();
        return delivery;
    }
    void click(Point location) {
        input().click(location);
        runUntilIdle();
    }
    // Our callout windows on screen: at the status level, apart from the item's own.
    int calloutsOnScreen() const {
        int count = 0;
        for (const auto& window : platform().application().windows()) {
            count += window->isVisible() && window->level() == WindowLevel::status &&
                     window != statusWindow;
        }
        return count;
    }

    // Stands in for the status item's window, a passthrough window, away from the menu bar.
    std::shared_ptr<Panel> statusWindow = makePanel({600, 400, 40, 40});
    std::shared_ptr<MenuBarCoachMarkController> coachMark =
        std::make_shared<MenuBarCoachMarkController>(false);
    int returns = 0;
    int presses = 0;
    std::shared_ptr<MenuBarCoachMarkController> callout =
        std::make_shared<MenuBarCoachMarkController>(
            true, [] { return std::string("Talvori 1.3 is ready."); },
            [this](double, bool) {
                return View(Button([this] { ++presses; }, View(Color::rgb255(200, 40, 40)))
                                .frame(236, 80)
                                .accessibilityLabel("Press"));
            });
};

TEST_F(CalloutTest, PlacementCentresUnderTheAnchorInsideTheScreen) {
    EXPECT_EQ(place({708, 876, 24, 22}), (CalloutPlacement{602, 795, 118}));
    // Held 8 points inside the sides, nearer where the beak, which stops 9 points from the
    // callout's side, would else point beside the item's centre.
    EXPECT_EQ(place(kItem), (CalloutPlacement{1196, 876 - 1 - 80, 226}));
    EXPECT_EQ(place({0, 876, 24, 22}), (CalloutPlacement{3, 795, 9}));
    // The full frame counts, and screens elsewhere in the global space are measured from theirs.
    EXPECT_EQ(place({3340, 1056, 24, 22}, {1440, 0, 1920, 1080}),
              (CalloutPlacement{3124, 975, 236 - 9}));
    // A tray at the bottom: above the item, the beak pointing down, below the visible frame's top.
    const Screen bottomTray{3, {0, 0, 1440, 900}, {0, 24, 1440, 876}};
    EXPECT_EQ(place({1410, 1, 24, 22}, bottomTray), (CalloutPlacement{1196, 24, 226, true}));
    EXPECT_EQ(place({600, 400, 24, 22}, bottomTray), (CalloutPlacement{494, 423, 118, true}));
    EXPECT_EQ(place({600, 60, 24, 22}, {4, {0, 0, 1440, 200}, {0, 24, 1440, 120}}),
              (CalloutPlacement{494, 144 - 8 - 80, 118, true}));
    // Too narrow for both margins: centred on the screen.
    EXPECT_EQ(place({100, 876, 24, 22}, {0, 0, 240, 900}), (CalloutPlacement{2, 795, 110}));
    // No placement for an empty anchor or one off the given screen.
    EXPECT_FALSE(place({1410, 876, 0, 22}));
    EXPECT_FALSE(place({1410, 876, 24, 0}));
    EXPECT_FALSE(place({2000, 876, 24, 22}));
    EXPECT_FALSE(place({1440, 876, 24, 22})) << "touching the edge is not on the screen";
}

// The desktop holds the combination that opens the panel: the coach mark does not offer it.
TEST_F(CalloutTest, CoachMarkOffersNoShortcutTheDesktopHolds) {
    simHotKeys().holdForOtherProgram({2, HotKeyModifiers::shift | HotKeyModifiers::command});
    EXPECT_EQ(MenuBarCoachMarkController::showAnnouncement(),
              "Look for this icon. Click it to open Talvori.");
}

TEST_F(CalloutTest, CoachMarkStandsUnderTheItemWithoutTakingKeysAndSpeaks) {
    EXPECT_EQ(MenuBarCoachMarkController::showAnnouncement(),
              "Look for this icon. Click it to open Talvori. Or press \u21e7\u2318D.");
    ASSERT_TRUE(showCoachMark());
    const auto panel = coachMark->panel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(coachMark->isShowing());
    EXPECT_EQ(panel->frame().width(), 236);
    EXPECT_EQ(panel->frame().minX(), 1196);
    EXPECT_EQ(panel->frame().maxY(), kItem.minY() - 1);
    EXPECT_GT(panel->frame().height(), 50);
    EXPECT_EQ(panel->level(), WindowLevel::status);
    EXPECT_EQ(panel->styleMask(), StyleMask::nonactivatingPanel);
    EXPECT_EQ(panel->collectionBehavior(), 273u);
    EXPECT_TRUE(panel->isFloatingPanel());
    EXPECT_TRUE(panel->ignoresMouseEvents());
    EXPECT_FALSE(panel->hidesOnDeactivate());
    EXPECT_FALSE(panel->isKeyWindow());
    EXPECT_EQ(panel->accessibilityLabel(),
              "Look for this icon. Click it to open Talvori. Or press \u21e7\u2318D.");
    EXPECT_EQ(
        simAnnouncer().announcements(),
        (std::vector<sim::SimAnnouncer::Announcement>{
            {0, "Look for this icon. Click it to open Talvori. Or press \u21e7\u2318D.", 90}}));

    // A second show replaces the first in place.
    ASSERT_TRUE(showCoachMark({708, 876, 24, 22}));
    EXPECT_EQ(calloutsOnScreen(), 1);
    EXPECT_EQ(coachMark->panel()->frame().minX(), 602);
    // One that cannot be placed changes nothing.
    EXPECT_FALSE(showCoachMark({708, 876, 0, 22}));
    EXPECT_TRUE(coachMark->isShowing());
    EXPECT_EQ(coachMark->passthroughWindows(), std::vector{statusWindow->windowNumber()});
    EXPECT_EQ(simAnnouncer().announcements().size(), 2u);

    coachMark->dismiss();
    coachMark->dismiss();
    EXPECT_EQ(calloutsOnScreen(), 0);
    EXPECT_FALSE(coachMark->hasMonitors());
    EXPECT_TRUE(coachMark->passthroughWindows().empty());
}

TEST_F(CalloutTest, EscapeAndReturnActOnlyWhileNoOtherWindowOfOursIsKey) {
    ASSERT_TRUE(showCoachMark());
    EXPECT_NE(key(kReturn), sim::KeyDelivery::swallowed) << "the coach mark has no Return";
    EXPECT_TRUE(coachMark->isShowing());
    EXPECT_EQ(key(kEscape), sim::KeyDelivery::swallowed);
    EXPECT_FALSE(coachMark->isShowing());
    EXPECT_NE(key(kEscape), sim::KeyDelivery::swallowed) << "nothing shows: Escape passes";

    callout->onReturn = [this] { ++returns; };
    ASSERT_TRUE(showCallout());
    EXPECT_NE(key(53 + 1), sim::KeyDelivery::swallowed);
    EXPECT_EQ(key(kReturn), sim::KeyDelivery::swallowed);
    EXPECT_EQ(returns, 1);
    EXPECT_FALSE(callout->isShowing());

    // Typed into another window of ours, the keys are that window's.
    auto settings = platform().application().makePanel({400, 300, 540, 284}, StyleMask::titled);
    settings->makeKeyAndOrderFront();
    ASSERT_TRUE(showCallout());
    EXPECT_NE(key(kReturn), sim::KeyDelivery::swallowed);
    EXPECT_NE(key(kEscape), sim::KeyDelivery::swallowed);
    EXPECT_EQ(returns, 1);
    EXPECT_TRUE(callout->isShowing());
    settings->close();
    runUntilIdle();
    EXPECT_EQ(key(kReturn), sim::KeyDelivery::swallowed);
    EXPECT_EQ(returns, 2);
}

TEST_F(CalloutTest, ClicksElsewhereDismissButNotOnTheItemOrInsideTheCallout) {
    ASSERT_TRUE(showCoachMark());
    click({620, 420});
    EXPECT_TRUE(coachMark->isShowing()) << "the item's own action decides";
    click({300, 300});
    EXPECT_FALSE(coachMark->isShowing());

    ASSERT_TRUE(showCallout());
    const Rect frame = callout->panel()->frame();
    click({frame.midX(), frame.midY()});
    EXPECT_EQ(presses, 1) << "the first click reaches the content";
    EXPECT_TRUE(callout->isShowing());
    auto other = makePanel({100, 100, 200, 200});
    other->orderFront();
    click({150, 150});
    EXPECT_FALSE(callout->isShowing());
    EXPECT_FALSE(callout->hasMonitors());

    // Another application coming to the front takes the coach mark away, not the update callout.
    ASSERT_TRUE(showCoachMark());
    ASSERT_TRUE(showCallout());
    const auto pid = world().launchApplication("Notes");
    world().activateApplication(pid);
    runUntilIdle();
    EXPECT_FALSE(coachMark->isShowing());
    EXPECT_TRUE(callout->isShowing());
}

TEST_F(CalloutTest, CoachMarkBubbleHangsFromItsBeak) {
    auto bubble = host(MenuBarCoachMarkView{218});
    EXPECT_DOUBLE_EQ(bubble->size().width, 236);
    const Color ink = Color::rgb255(21, 24, 32);
    // The apex touches the top edge at the beak's centre; beside the beak is clear.
    EXPECT_TRUE(close(pixel(*bubble, {218, 2}), ink, 0.1));
    EXPECT_EQ(pixel(*bubble, {150, 2}).alpha, 0);
    EXPECT_TRUE(close(pixel(*bubble, {118, bubble->size().height - 4}), ink));
    // The tile shows the status item's own artwork, light on the dark tile.
    int light = 0;
    for (double y = 27; y < 44; ++y) {
        for (double x = 22; x < 39; ++x) light += pixel(*bubble, {x, y}).red > 0.6;
    }
    EXPECT_GT(light, 20);
    // One element speaks for the whole bubble.
    const std::string dump = bubble->accessibilityDump();
    EXPECT_NE(dump.find(MenuBarCoachMarkController::showAnnouncement()), std::string::npos) << dump;
    EXPECT_EQ(dump.find(MenuBarCoachMarkView::kTitle), dump.rfind(MenuBarCoachMarkView::kTitle))
        << dump;
    // Above an item low on its screen, the beak hangs from the bottom edge.
    auto above = host(MenuBarCoachMarkView{227, true});
    EXPECT_DOUBLE_EQ(above->size().height, bubble->size().height);
    EXPECT_TRUE(close(pixel(*above, {227, above->size().height - 2}), ink, 0.1));
    EXPECT_EQ(pixel(*above, {150, above->size().height - 2}).alpha, 0);
    EXPECT_TRUE(close(pixel(*above, {118, 4}), ink));
    // The beak stays clear of the corners.
    EXPECT_DOUBLE_EQ(CoachMarkShape::clampedBeakCenter(1000, 236, 7.5), 227.5);
    EXPECT_DOUBLE_EQ(CoachMarkShape::clampedBeakCenter(5, 20, 7.5), 8.5);
    if (const char* folder = std::getenv("TALVORI_VIEW_PICTURES")) {
        auto real = Host::make(View(ZStack(
            {View(Color::rgb255(60, 64, 72)), View(MenuBarCoachMarkView{218}).padding(10)})));
        real->writePNG(std::string(folder) + "/coach-mark.png", 2);
    }
}

}  // namespace
}  // namespace talvori::ui::testing
