#include <fmt/format.h>
#include <gtest/gtest.h>

#include "covers/CoverWindowTest.hpp"
#include "covers/OverlayPanel.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori {
namespace {

using testing::downArrow;
using testing::leftArrow;
using testing::rightArrow;
using testing::upArrow;
using Flags = ModifierFlags;
using Log = std::vector<std::string>;

std::string name(std::optional<ResizeHandle> handle) {
    static constexpr const char* names[] = {"topLeft", "topRight", "bottomLeft", "bottomRight",
                                            "top",     "right",    "bottom",     "left"};
    return handle ? names[static_cast<int>(*handle)] : "none";
}

// A cover panel on its own at (100, 100) 200 x 100, every callback writing one line to a log.
class OverlayPanelTest : public testing::CoverWindowTest {
  protected:
    std::shared_ptr<OverlayPanel> panel = OverlayPanel::make({100, 100, 200, 100});
    Log log;

    OverlayPanelTest() {
        panel->window().orderFront();
        panel->trackingArea = panel->window().addTrackingArea(TrackingArea{});
        OverlayPanel& p = *panel;
        p.onOpacityChange = [this](double value) {
            log.push_back(fmt::format("opacity {}", value));
        };
        p.onHandlesVisibilityChange = [this](bool visible) {
            log.push_back(visible ? "handles shown" : "handles hidden");
        };
        p.onHandleHoverChange = [this](auto handle) { log.push_back("hover " + name(handle)); };
        p.onResizeStart = [this](ResizeHandle handle, Point at) {
            log.push_back(fmt::format("resize start {} at {},{}", name(handle), at.x, at.y));
        };
        p.onResizeDrag = [this](Point at) {
            log.push_back(fmt::format("resize to {},{}", at.x, at.y));
        };
        p.onResizeEnd = [this] { log.push_back("resize end"); };
        p.onDragStart = [this] { log.push_back("drag start"); };
        p.onDragEnd = [this] { log.push_back("drag end"); };
        p.onNudgeByKeyboard = [this](double dx, double dy) {
            log.push_back(fmt::format("nudge {},{}", dx, dy));
        };
        p.onResizeByKeyboard = [this](double dw, double dh) {
            log.push_back(fmt::format("grow {},{}", dw, dh));
        };
        p.onResetSize = [this] { log.push_back("reset"); };
        p.onCenterOnScreen = [this] { log.push_back("centre"); };
        p.onFillScreen = [this] { log.push_back("fill"); };
        p.onScale = [this](double factor) { log.push_back(fmt::format("scale {}", factor)); };
    }

    // Screen point of content point (x, y).
    Point point(double x, double y) const {
        const Rect frame = panel->frame();
        return {frame.minX() + x, frame.maxY() - y};
    }
    Log take() { return std::exchange(log, {}); }
    // The log without the hover reports that every pointer event brings.
    Log intents() {
        Log kept;
        for (auto& line : take()) {
            if (line.rfind("hover", 0) != 0) kept.push_back(std::move(line));
        }
        return kept;
    }
    sim::KeyDelivery press(std::uint16_t code, std::string characters, std::uint64_t flags = 0) {
        panel->window().makeKey();
        return type(code, std::move(characters), flags);
    }
};

TEST_F(OverlayPanelTest, IsABorderlessFloatingPanelThatTakesKeysWithoutActivating) {
    const Panel& window = panel->window();
    EXPECT_EQ(window.styleMask(), StyleMask::nonactivatingPanel);
    EXPECT_EQ(window.level(), WindowLevel::floating);
    EXPECT_EQ(window.collectionBehavior(), 273u);
    EXPECT_FALSE(window.isOpaque());
    EXPECT_EQ(window.backgroundColor(), Color::clear());
    EXPECT_FALSE(window.isMovableByWindowBackground());
    EXPECT_FALSE(window.hidesOnDeactivate());
    EXPECT_FALSE(window.isRestorable());
    EXPECT_EQ(window.minSize(), (Size{50, 20}));
    EXPECT_TRUE(window.canBecomeKey());
    EXPECT_FALSE(window.canBecomeMain());

    input().click(point(100, 50));
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_NE(world().frontmostPID(), sim::SimWorld::kOwnPID) << "clicking does not activate us";
}

TEST_F(OverlayPanelTest, HoverShowsHandlesReportsTheHandleUnderThePointerAndSetsItsCursor) {
    input().moveMouse(point(100, 50));
    EXPECT_EQ(take(), Log{"handles shown"});
    input().moveMouse(point(110, 50));
    EXPECT_EQ(take(), Log{"hover none"});
    EXPECT_EQ(input().currentCursor(), Cursor::arrow());

    input().moveMouse(point(195, 50));
    EXPECT_EQ(take(), Log{"hover right"});
    EXPECT_EQ(input().currentCursor(), Cursor::resizeLeftRight());
    input().moveMouse(point(5, 5));
    EXPECT_EQ(take(), Log{"hover topLeft"});
    EXPECT_EQ(input().currentCursor().kind, Cursor::Kind::custom);

    panel->isLocked = true;
    input().moveMouse(point(100, 96));
    EXPECT_EQ(take(), Log{"hover bottom"}) << "a locked cover still shows which handle is under";
    EXPECT_EQ(input().currentCursor(), Cursor::arrow()) << "but offers no resize cursor";

    input().moveMouse({20, 20});
    EXPECT_EQ(take(), (Log{"handles hidden", "hover none"}));
}

TEST_F(OverlayPanelTest, AMoveDragFollowsThePointerAndKeepsTheHandlesWhileOutside) {
    input().moveMouse(point(100, 50));
    take();
    input().mouseDown(point(100, 50));
    input().moveMouse({230, 130});
    EXPECT_EQ(panel->frame(), Rect(130, 80, 200, 100));
    EXPECT_TRUE(panel->isDraggingWindow());
    // The pointer outruns the window: it leaves the cover while the drag goes on.
    input().moveMouse({900, 700});
    EXPECT_EQ(intents(), Log{"drag start"}) << "leaving during the drag hides nothing";
    EXPECT_EQ(panel->frame(), Rect(800, 650, 200, 100));
    input().mouseUp({900, 700});
    EXPECT_EQ(intents(), (Log{"handles shown", "drag end"}));
    EXPECT_FALSE(panel->isDraggingWindow());

    input().moveMouse({20, 20});
    EXPECT_EQ(take(), (Log{"handles hidden", "hover none"})) << "leaving afterwards hides them";
}

TEST_F(OverlayPanelTest, AHandleDragReportsGlobalLocationsAndReadsTheHandleAtTheRelease) {
    input().moveMouse(point(195, 95));
    take();
    input().mouseDown(point(195, 95));
    input().moveMouse({320, 90});
    input().mouseUp({298, 103});
    EXPECT_EQ(take(),
              (Log{"hover bottomRight", "resize start bottomRight at 295,105", "resize to 320,90",
                   "handles shown", "resize end", "hover bottomRight"}));
    EXPECT_EQ(panel->frame(), Rect(100, 100, 200, 100)) << "the panel leaves resizing to its owner";
}

TEST_F(OverlayPanelTest, AResizeEndingOutsideTheCoverHidesTheHandles) {
    input().moveMouse(point(5, 50));
    input().mouseDown(point(5, 50));
    input().moveMouse({40, 150});
    take();
    input().mouseUp({40, 150});
    EXPECT_EQ(take(), (Log{"resize end", "handles hidden", "hover none"}))
        << "left of the cover is not the left handle";
}

TEST_F(OverlayPanelTest, ALockedCoverSwallowsClicksAndIgnoresZoom) {
    panel->isLocked = true;
    input().drag(point(100, 50), point(160, 10));
    input().drag(point(195, 95), point(190, 10));
    EXPECT_EQ(intents(), Log{"handles shown"});
    EXPECT_EQ(panel->frame(), Rect(100, 100, 200, 100));

    auto& window = static_cast<sim::SimPanel&>(panel->window());
    panel->zoom();
    EXPECT_EQ(window.zoomCount(), 0);
    panel->isLocked = false;
    panel->zoom();
    EXPECT_EQ(window.zoomCount(), 1);
}

TEST_F(OverlayPanelTest, ARightClickIsLeftToTheWindow) {
    input().mouseDown(point(100, 50), sim::MouseButton::right);
    input().mouseUp(point(100, 50), sim::MouseButton::right);
    EXPECT_EQ(take(), (Log{"handles shown", "hover none"}));
}

TEST_F(OverlayPanelTest, DigitsSetTheOpacityAndASecondDigitWithinASecondMakesAPercentage) {
    EXPECT_EQ(press(26, "7"), sim::KeyDelivery::handled);
    EXPECT_EQ(take(), Log{"opacity 0.7"});

    advance(1.5);
    press(19, "2");
    advance(0.99);
    press(23, "5");
    press(22, "6");
    EXPECT_EQ(take(), (Log{"opacity 0.2", "opacity 0.25", "opacity 0.6"}))
        << "a third digit starts afresh";

    advance(1.0);
    press(23, "5");
    EXPECT_EQ(take(), Log{"opacity 0.5"}) << "a second is too late to combine";

    advance(5);
    press(29, "0");
    press(29, "0");
    EXPECT_EQ(take(), (Log{"opacity 1", "opacity 0"}));
    press(25, "9");
    press(25, "9");
    press(18, "1");
    press(29, "0");
    EXPECT_EQ(take(), (Log{"opacity 0.9", "opacity 0.99", "opacity 0.1", "opacity 0.1"}));
}

TEST_F(OverlayPanelTest, OnlyPlainAsciiDigitsSetTheOpacity) {
    EXPECT_EQ(press(26, "7", Flags::capsLock), sim::KeyDelivery::unhandled);
    EXPECT_EQ(press(89, "7", Flags::numericPad), sim::KeyDelivery::unhandled);
    EXPECT_EQ(press(26, "7", Flags::option), sim::KeyDelivery::unhandled);
    EXPECT_EQ(press(0, "\u0663"), sim::KeyDelivery::unhandled) << "an Arabic-Indic three";
    EXPECT_EQ(press(0, "\u00bd"), sim::KeyDelivery::unhandled) << "a vulgar fraction";
    EXPECT_EQ(press(0, "12"), sim::KeyDelivery::unhandled);
    EXPECT_TRUE(take().empty());
}

TEST_F(OverlayPanelTest, ArrowsNudgeOneOrTenPointsAndResizeWithCommand) {
    press(leftArrow, "");
    press(upArrow, "", Flags::shift);
    press(rightArrow, "", Flags::capsLock);
    press(downArrow, "", Flags::capsLock | Flags::shift);
    EXPECT_EQ(take(), (Log{"nudge -1,0", "nudge 0,10", "nudge 1,0", "nudge 0,-10"}))
        << "plain arrows nudge, and Caps Lock does not get in the way";

    press(upArrow, "", Flags::command | Flags::shift);
    press(leftArrow, "", Flags::command | Flags::option | Flags::control);
    EXPECT_EQ(take(), (Log{"grow 0,10", "grow -1,0"}));

    EXPECT_EQ(press(rightArrow, "", Flags::option), sim::KeyDelivery::unhandled);
    EXPECT_EQ(press(rightArrow, "", Flags::control | Flags::shift), sim::KeyDelivery::unhandled);
    EXPECT_EQ(press(rightArrow, "", Flags::numericPad), sim::KeyDelivery::unhandled)
        << "an arrow of the keypad is not ours";
    EXPECT_TRUE(take().empty());
}

TEST_F(OverlayPanelTest, CommandShortcutsNeedTheirExactModifiers) {
    press(29, "0", Flags::command);
    press(8, "C", Flags::command | Flags::shift);
    press(3, "f", Flags::command | Flags::shift);
    press(24, "=", Flags::command | Flags::option);
    press(24, "+", Flags::command | Flags::shift);
    press(27, "-", Flags::command);
    EXPECT_EQ(take(), (Log{"reset", "centre", "fill", "scale 1.1", "scale 1.1", "scale 0.9"}));

    EXPECT_EQ(press(29, "0", Flags::command | Flags::shift), sim::KeyDelivery::unhandled);
    EXPECT_EQ(press(8, "c", Flags::command), sim::KeyDelivery::unhandled);
    EXPECT_EQ(press(3, "F", Flags::command | Flags::shift | Flags::capsLock),
              sim::KeyDelivery::unhandled);
    EXPECT_EQ(press(12, "q", Flags::command), sim::KeyDelivery::unhandled);
    EXPECT_TRUE(take().empty());

    panel->onResetSize = nullptr;
    EXPECT_EQ(press(29, "0", Flags::command), sim::KeyDelivery::handled)
        << "a matched shortcut is consumed even without a callback";
}

}  // namespace
}  // namespace talvori
