#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using sim::ClickOrder;
using sim::KeyDelivery;
using sim::KeyStroke;
using testing::SimDesktopTest;

// Hosted content that records what reaches it and handles what it is told to.
class RecordingContent : public HostedContent {
  public:
    std::vector<std::string> seen;
    bool handlesMouse = true;
    bool handlesKeys = false;

    void draw(cairo_t*, Size) override {}
    Size fittingSize() override { return {100, 50}; }
    bool mouseDown(const Event&, Point at) override { return record("down", at, handlesMouse); }
    bool mouseDragged(const Event&, Point at) override { return record("drag", at, handlesMouse); }
    bool mouseUp(const Event&, Point at) override { return record("up", at, handlesMouse); }
    void mouseEntered(Point at) override { record("enter", at, true); }
    void mouseExited() override { seen.push_back("exit"); }
    bool keyDown(const Event& event) override {
        seen.push_back("key " + event.characters);
        return handlesKeys;
    }

  private:
    bool record(const char* what, Point at, bool result) {
        seen.push_back(std::string(what) + " " + std::to_string(static_cast<int>(at.x)) + "," +
                       std::to_string(static_cast<int>(at.y)));
        return result;
    }
};

class RecordingHandler : public WindowEventHandler {
  public:
    std::vector<std::string> seen;
    bool mouseDown(Panel&, const Event&) override { return note("down"); }
    bool mouseDragged(Panel&, const Event&) override { return note("drag"); }
    bool mouseUp(Panel&, const Event&) override { return note("up"); }
    void mouseEntered(Panel&, const Event&) override { note("area enter"); }
    void mouseExited(Panel&, const Event&) override { note("area exit"); }
    bool keyDown(Panel&, const Event& event) override { return note("key " + event.characters); }

  private:
    bool note(const std::string& what) {
        seen.push_back(what);
        return true;
    }
};

class SimInputTest : public SimDesktopTest {
  protected:
    std::int32_t editor = world().launchApplication("Editor");
    std::int32_t browser = world().launchApplication("Browser");
    std::uint32_t below = world().openWindow(editor, "Below", {0, 0, 600, 600});
    std::uint32_t above = world().openWindow(browser, "Above", {400, 0, 600, 600});
    std::shared_ptr<Panel> panel = makePanel({100, 100, 200, 100});
    std::shared_ptr<RecordingContent> content = std::make_shared<RecordingContent>();
    std::shared_ptr<RecordingHandler> handler = std::make_shared<RecordingHandler>();

    SimInputTest() {
        world().activateApplication(browser);
        panel->setCanBecomeKey(true);
        panel->setHostedContent(content);
        panel->setEventHandler(handler);
        panel->orderFront();
    }
};

TEST_F(SimInputTest, AClickReachesTheFrontmostWindowUnderThePointer) {
    std::vector<std::int32_t> frontmost;
    auto monitor = platform().input().addGlobalMonitor(
        eventMaskBit(EventType::leftMouseDown), [&](const Event& event) {
            EXPECT_EQ(event.windowNumber, 0u);
            EXPECT_EQ(event.location, platform().input().mouseLocation());
            frontmost.push_back(world().frontmostPID().value_or(0));
        });
    input().click({500, 300});
    input().click({200, 300});
    // The second click lands on the editor's window, which rises (and its application comes to
    // the front) before the monitor sees the click.
    EXPECT_EQ(frontmost, (std::vector<std::int32_t>{browser, editor}));
    EXPECT_EQ(world().accessibilityFocusedPID(), editor);
    EXPECT_LT(world().stackIndex(below), world().stackIndex(above));
}

TEST_F(SimInputTest, MonitorsFirstSeeTheClickBeforeTheWindowRises) {
    input().setClickOrder(ClickOrder::monitorsFirst);
    bool behindWhileMonitoring = false;
    auto monitor = platform().input().addGlobalMonitor(
        eventMaskBit(EventType::leftMouseDown), [&](const Event&) {
            behindWhileMonitoring = world().stackIndex(below) > world().stackIndex(above);
        });
    input().click({50, 50});
    EXPECT_TRUE(behindWhileMonitoring);
    EXPECT_LT(world().stackIndex(below), world().stackIndex(above));
}

TEST_F(SimInputTest, MouseTransparentPanelsLetClicksAndHoverThrough) {
    panel->setIgnoresMouseEvents(true);
    int global = 0;
    auto monitor = platform().input().addGlobalMonitor(eventMaskBit(EventType::leftMouseDown),
                                                       [&](const Event&) { ++global; });
    input().moveMouse({150, 150});
    input().click({150, 150});
    EXPECT_EQ(global, 1);
    EXPECT_TRUE(content->seen.empty());
    EXPECT_EQ(world().accessibilityFocusedPID(), editor);
}

TEST_F(SimInputTest, OurClicksGoToLocalMonitorsAndTheContentNeverToGlobalOnes) {
    int global = 0;
    std::vector<std::uint32_t> local;
    auto globalMonitor = platform().input().addGlobalMonitor(eventMaskBit(EventType::leftMouseDown),
                                                             [&](const Event&) { ++global; });
    auto localMonitor = platform().input().addLocalMonitor(
        eventMaskBit(EventType::leftMouseDown), [&](const Event& event) -> std::optional<Event> {
            local.push_back(event.windowNumber);
            return event;
        });
    input().click({110, 190});
    EXPECT_EQ(global, 0);
    EXPECT_EQ(local, (std::vector<std::uint32_t>{panel->windowNumber()}));
    // Content coordinates: 10 from the left, 10 from the top.
    EXPECT_EQ(content->seen, (std::vector<std::string>{"enter 10,10", "down 10,10", "up 10,10"}));
    EXPECT_TRUE(panel->isKeyWindow()) << "clicked, it became key without activating us";
    EXPECT_FALSE(platform().application().isActive());
}

TEST_F(SimInputTest, LocalMonitorsRunInOrderAndMaySwallowOrReplace) {
    std::vector<std::string> order;
    auto first = platform().input().addLocalMonitor(
        eventMaskBit(EventType::leftMouseDown), [&](const Event& event) -> std::optional<Event> {
            order.push_back("first");
            Event replaced = event;
            replaced.clickCount = 2;
            return replaced;
        });
    Registration second;
    second = platform().input().addLocalMonitor(
        eventMaskBit(EventType::leftMouseDown), [&](const Event& event) -> std::optional<Event> {
            order.push_back("second " + std::to_string(event.clickCount));
            second.reset();  // removing itself while it runs is safe
            return std::nullopt;
        });
    input().click({150, 150});
    input().click({150, 150});
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second 2", "first"}));
    EXPECT_EQ(std::count(content->seen.begin(), content->seen.end(), "down 50,50"), 1);
}

TEST_F(SimInputTest, UnhandledMouseEventsFallToThePanelsHandler) {
    content->handlesMouse = false;
    input().drag({150, 150}, {700, 500}, 2);
    // The drag leaves the panel but stays with it until the button goes up.
    EXPECT_EQ(handler->seen, (std::vector<std::string>{"down", "drag", "drag", "up"}));
    EXPECT_EQ(content->seen,
              (std::vector<std::string>{"enter 50,50", "down 50,50", "exit", "drag 325,-125",
                                        "drag 600,-300", "up 600,-300"}));
}

TEST_F(SimInputTest, HoverEntersLeavesAndLeavesAgainWhenThePanelGoesAway) {
    panel->addTrackingArea({});
    input().moveMouse({150, 150});
    input().moveMouse({50, 50});
    input().moveMouse({150, 150});
    EXPECT_EQ(handler->seen, (std::vector<std::string>{"area enter", "area exit", "area enter"}));
    panel->orderOut();
    EXPECT_EQ(content->seen.back(), "enter 50,50") << "not inside the call that ordered it out";
    runUntilIdle();
    EXPECT_EQ(content->seen.back(), "exit");
    EXPECT_EQ(handler->seen.back(), "area exit");
}

TEST_F(SimInputTest, KeysGoToTheKeyPanelsResponderContentAndHandlerInTurn) {
    struct Field : Responder {
        bool keyDown(const Event& event) override { return event.characters == "a"; }
    };
    auto field = std::make_shared<Field>();
    panel->makeKey();
    ASSERT_TRUE(panel->makeFirstResponder(field));
    EXPECT_EQ(input().typeKey(KeyStroke::key(0, "a")), KeyDelivery::handled);
    EXPECT_TRUE(content->seen.empty());
    EXPECT_EQ(input().typeKey(KeyStroke::key(11, "b")), KeyDelivery::handled);
    EXPECT_EQ(content->seen, (std::vector<std::string>{"key b"}));
    EXPECT_EQ(handler->seen, (std::vector<std::string>{"key b"}));
    panel->setEventHandler({});
    EXPECT_EQ(input().typeKey(KeyStroke::key(8, "c")), KeyDelivery::unhandled);
}

TEST_F(SimInputTest, WithoutAKeyPanelKeysGoToTheFrontApplication) {
    int global = 0;
    auto monitor = platform().input().addGlobalMonitor(eventMaskBit(EventType::keyDown),
                                                       [&](const Event&) { ++global; });
    EXPECT_EQ(input().keyDown(KeyStroke::key(0, "a")), KeyDelivery::otherApplication);
    EXPECT_EQ(global, 1);
}

TEST_F(SimInputTest, InterceptorsClaimKeysBeforeAnyMonitorOrWindow) {
    panel->makeKey();
    int local = 0;
    auto monitor = platform().input().addLocalMonitor(
        eventMaskBit(EventType::keyDown), [&](const Event& event) -> std::optional<Event> {
            ++local;
            return event;
        });
    auto interceptor = input().addKeyInterceptor([](const Event& event) {
        return event.keyCode == 3 && event.modifierFlags == ModifierFlags::command;
    });
    EXPECT_EQ(input().keyDown(KeyStroke::key(3, "f", ModifierFlags::command)),
              KeyDelivery::intercepted);
    EXPECT_EQ(local, 0);
    EXPECT_EQ(input().keyDown(KeyStroke::key(3, "f")), KeyDelivery::handled);
    EXPECT_EQ(local, 1);
    interceptor.reset();
    EXPECT_EQ(input().keyDown(KeyStroke::key(3, "f", ModifierFlags::command)),
              KeyDelivery::handled);
}

TEST_F(SimInputTest, ASwallowedKeyReachesNoWindow) {
    panel->makeKey();
    auto monitor = platform().input().addLocalMonitor(
        eventMaskBit(EventType::keyDown), [](const Event& event) -> std::optional<Event> {
            if (event.keyCode == 53) return std::nullopt;
            return event;
        });
    EXPECT_EQ(input().keyDown(KeyStroke::key(53, "\x1b")), KeyDelivery::swallowed);
    EXPECT_TRUE(content->seen.empty());
}

TEST_F(SimInputTest, ArrowKeysCarryOnlyTheModifiersHeld) {
    panel->makeKey();
    std::vector<Event> events;
    auto monitor = platform().input().addLocalMonitor(
        eventMaskBit(EventType::keyDown), [&](const Event& event) -> std::optional<Event> {
            events.push_back(event);
            return event;
        });
    input().keyDown(KeyStroke::key(123, ""));
    input().keyDown(KeyStroke::key(126, "", ModifierFlags::shift));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].specialKey, SpecialKey::leftArrow);
    EXPECT_EQ(events[0].deviceIndependentFlags(), 0u);
    EXPECT_EQ(events[1].specialKey, SpecialKey::upArrow);
    EXPECT_EQ(events[1].deviceIndependentFlags(), ModifierFlags::shift);
    EXPECT_EQ(platform().input().modifierFlags(), ModifierFlags::shift);
}

TEST_F(SimInputTest, ListenOnlyTapsSeeEverythingUntilDisabledOrInvalidated) {
    std::vector<EventType> seen;
    auto tap = platform().input().makeListenOnlyEventTap(
        eventMaskBit(EventType::leftMouseUp) | eventMaskBit(EventType::leftMouseDragged),
        [&](const Event& event) { seen.push_back(event.type); });
    ASSERT_TRUE(tap);
    input().drag({150, 150}, {160, 160}, 1);  // on our panel
    input().click({700, 300});                // on another application's window
    EXPECT_EQ(seen, (std::vector<EventType>{EventType::leftMouseDragged, EventType::leftMouseUp,
                                            EventType::leftMouseUp}));
    input().disableEventTaps(EventType::tapDisabledByTimeout);
    EXPECT_EQ(seen.back(), EventType::tapDisabledByTimeout);
    EXPECT_FALSE(tap->isEnabled());
    input().click({700, 300});
    EXPECT_EQ(seen.size(), 4u);
    tap->setEnabled(true);
    tap->invalidate();
    input().click({700, 300});
    EXPECT_EQ(seen.size(), 4u);
}

TEST_F(SimInputTest, RefusedRegistrationsComeBackEmpty) {
    input().setRefusesMonitors(true);
    input().setRefusesEventTaps(true);
    EXPECT_FALSE(platform().input().addGlobalMonitor(1, [](const Event&) {}));
    EXPECT_FALSE(platform().input().makeListenOnlyEventTap(1, [](const Event&) {}));
}

TEST_F(SimInputTest, TheCursorIsRecordedEachTimeItIsSet) {
    platform().input().setCursor(Cursor::resizeUpDown());
    platform().input().setCursor(Cursor::resizeUpDown());
    EXPECT_EQ(input().currentCursor(), Cursor::resizeUpDown());
    EXPECT_EQ(input().cursorSetCount(), 2);
    const Cursor custom =
        Cursor::custom(16, 16, std::vector<std::uint32_t>(256, 0xFF000000), {8, 8});
    platform().input().setCursor(custom);
    EXPECT_EQ(input().currentCursor().hotSpot, (Point{8, 8}));
}

}  // namespace
}  // namespace talvori
