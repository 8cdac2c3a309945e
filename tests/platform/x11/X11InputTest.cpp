// The XKB protocol header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowEventHandler.hpp"
#include "platform/x11/X11DesktopTest.hpp"

namespace talvori::testing {
namespace {

using Key = X11TestDriver::Key;

class Recorder : public WindowEventHandler {
  public:
    bool keyDown(Panel&, const Event& event) override {
        keys.push_back(event);
        return true;
    }
    bool mouseDown(Panel&, const Event& event) override {
        clicks.push_back(event);
        return notePointer();
    }
    bool mouseDragged(Panel&, const Event&) override { return notePointer(); }
    bool mouseUp(Panel&, const Event&) override { return notePointer(); }
    void windowDidResignKey(Panel&) override { ++resigns; }
    bool notePointer() {
        pointer.push_back(platform().input().mouseLocation());
        return true;
    }
    std::vector<Event> keys;
    std::vector<Event> clicks;
    // Where the program read the pointer while handling each press, drag and release.
    std::vector<Point> pointer;
    int resigns = 0;
};

class X11InputTest : public X11DesktopTest {
  protected:
    // A panel that takes keys, at root (300, 200) to (700, 500), made key by a click.
    void showKeyPanel() {
        panel = platform().application().makePanel(Rect(300, 300, 400, 300),
                                                   StyleMask::nonactivatingPanel);
        panel->setCanBecomeKey(true);
        panel->setEventHandler(recorder);
        panel->orderFront();
        ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
        driver().click(350, 260);
        // Typing before the panel held the keyboard would type elsewhere. Its grab is handled
        // before the probe, which would otherwise take the keyboard first.
        ASSERT_TRUE(runUntil([&] { return panel->isKeyWindow() && !recorder->clicks.empty(); }));
        catchUp();
        ASSERT_TRUE(runUntil([&] { return driver().isKeyboardHeld(); }));
    }
    const Event* typed(std::uint8_t key, std::vector<std::uint8_t> modifiers = {}) {
        recorder->keys.clear();
        driver().tap(key, modifiers);
        if (!runUntil([&] { return !recorder->keys.empty(); }, 2)) return nullptr;
        return &recorder->keys.front();
    }

    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<Panel> panel;
};

TEST_F(X11InputTest, ClicksArriveInTheWindowsOwnAndTheGlobalSpace) {
    showKeyPanel();
    const Event& click = recorder->clicks.front();
    EXPECT_EQ(click.type, EventType::leftMouseDown);
    EXPECT_EQ(click.windowNumber, panel->windowNumber());
    EXPECT_EQ(click.locationInWindow, (Point{50, 60}));
    EXPECT_EQ(click.location, (Point{350, 540}));
    EXPECT_EQ(click.clickCount, 1);
    EXPECT_EQ(platform().input().mouseLocation(), (Point{350, 540}));
}

// A program running behind the user handles a drag after the hand has moved on: each step still
// reads the pointer where that step happened.
TEST_F(X11InputTest, ADragHandledLateReadsThePointerWhereEachStepHappened) {
    showKeyPanel();
    recorder->pointer.clear();
    driver().moveMouse(320, 220);
    driver().buttonDown();
    driver().moveMouse(400, 260);
    driver().moveMouse(500, 300);
    driver().buttonUp();
    driver().moveMouse(650, 450);
    driver().sync();
    ASSERT_TRUE(runUntil([&] { return recorder->pointer.size() >= 4; }));
    EXPECT_EQ(recorder->pointer,
              (std::vector<Point>{{320, 580}, {400, 540}, {500, 500}, {500, 500}}));
    EXPECT_EQ(platform().input().mouseLocation(), (Point{650, 350}));
}

// The pointer's events come by XInput 2 on our windows; a wheel without scroll axes (the test
// server's) still scrolls one notch a click, not a second time by a copy of the click.
TEST_F(X11InputTest, EachWheelNotchScrollsOnce) {
    showKeyPanel();
    std::vector<double> notches;
    const Registration watch = platform().input().addLocalMonitor(
        eventMaskBit(EventType::scrollWheel), [&](const Event& event) -> std::optional<Event> {
            if (!event.hasPreciseScrollingDeltas) notches.push_back(event.scrollingDeltaY);
            return event;
        });
    driver().click(400, 300, 5);
    driver().click(400, 300, 5);
    driver().click(400, 300, 4);
    ASSERT_TRUE(runUntil([&] { return notches.size() >= 3; }));
    catchUp();
    EXPECT_EQ(notches, (std::vector<double>{1, 1, -1}));
    EXPECT_EQ(recorder->clicks.size(), 1u);
}

// The focus loss of a closing reaches the program only after the panel, reopened at once, was made
// key again: it belongs to the closing and must not take the keyboard from the new showing.
TEST_F(X11InputTest, APanelReopenedAtOnceKeepsTheKeyWhenItsClosingsFocusLossComesLate) {
    showKeyPanel();
    recorder->resigns = 0;
    panel->orderOut();
    panel->orderFront();
    panel->makeKey();
    catchUp();
    ASSERT_TRUE(runUntil([&] { return driver().isKeyboardHeld(); }));
    catchUp();
    EXPECT_TRUE(panel->isKeyWindow());
    EXPECT_EQ(recorder->resigns, 1);
}

TEST_F(X11InputTest, KeysCarryVirtualKeyCodesCharactersAndModifiersWithSuperAsCommand) {
    showKeyPanel();
    const Event* shifted = typed(Key::kA, {Key::kLeftShift});
    ASSERT_TRUE(shifted);
    EXPECT_EQ(shifted->keyCode, 0);
    EXPECT_EQ(shifted->characters, "A");
    EXPECT_EQ(shifted->charactersIgnoringModifiers, "A");
    EXPECT_EQ(shifted->deviceIndependentFlags(), ModifierFlags::shift);

    const Event* command = typed(Key::kA, {Key::kLeftSuper, Key::kLeftAlt});
    ASSERT_TRUE(command);
    EXPECT_EQ(command->deviceIndependentFlags(), ModifierFlags::command | ModifierFlags::option);
    EXPECT_EQ(command->charactersIgnoringModifiers, "a");

    const Event* control = typed(Key::kA, {Key::kLeftControl});
    ASSERT_TRUE(control);
    EXPECT_EQ(control->deviceIndependentFlags(), ModifierFlags::control);

    // An arrow has no flags of its own.
    const Event* arrow = typed(Key::kUp);
    ASSERT_TRUE(arrow);
    EXPECT_EQ(arrow->keyCode, 126);
    EXPECT_EQ(arrow->specialKey, SpecialKey::upArrow);
    EXPECT_EQ(arrow->deviceIndependentFlags(), 0U);

    // Held, a key repeats as presses the event marks.
    recorder->keys.clear();
    driver().keyDown(Key::kA);
    ASSERT_TRUE(runUntil([&] { return recorder->keys.size() >= 2; }));
    driver().keyUp(Key::kA);
    EXPECT_FALSE(recorder->keys[0].isARepeat);
    EXPECT_TRUE(recorder->keys[1].isARepeat);

    // Let go while the panel was away, a key's next press is a press, not a repeat.
    recorder->keys.clear();
    driver().keyDown(Key::kA);
    ASSERT_TRUE(runUntil([&] { return !recorder->keys.empty(); }));
    panel->orderOut();
    catchUp();
    driver().keyUp(Key::kA);
    catchUp();
    panel->orderFront();
    panel->makeKey();
    catchUp();
    ASSERT_TRUE(runUntil([&] { return driver().isKeyboardHeld(); }));
    const Event* again = typed(Key::kA);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->isARepeat);

    // The German layout: the key in the US "y" position types "z", and keeps its code.
    ASSERT_EQ(session().run({"setxkbmap", "de"}), 0);
    ASSERT_TRUE(runUntil([&] { return platform().keyboardLayout().characters(16) == "z"; }));
    const Event* german = typed(Key::kY);
    ASSERT_TRUE(german);
    EXPECT_EQ(german->keyCode, 16);
    EXPECT_EQ(german->characters, "z");
}

// Key repeat is paced as the user set it for the X server's keyboard, read afresh each time.
TEST_F(X11InputTest, TheKeyRepeatSettingsAreTheServersKeyboards) {
    xcb_connection_t* connection = driver().connection();
    auto* version = xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
        nullptr);
    ASSERT_TRUE(version && version->supported);
    std::free(version);
    const std::array<std::uint8_t, 32> perKeyRepeat{};
    const auto cookie =
        xcb_xkb_set_controls_checked(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                     0, 0, 0, 0, XCB_XKB_BOOL_CTRL_REPEAT_KEYS, 300, 50, 0, 0, 0, 0,
                                     0, 0, 0, 0, 0, 0, 0, 0, perKeyRepeat.data());
    ASSERT_EQ(xcb_request_check(connection, cookie), nullptr);
    EXPECT_DOUBLE_EQ(platform().input().keyRepeatDelay(), 0.3);
    EXPECT_DOUBLE_EQ(platform().input().keyRepeatInterval(), 0.05);
}

// A click elsewhere is told with where it happened, which the program asks the server: while
// another client holds the server, the loop goes on, and the click is told, before its release,
// once the server answers.
TEST_F(X11InputTest, AClickElsewhereWaitsForNoAnswerAndIsToldInOrder) {
    using Clock = std::chrono::steady_clock;
    std::vector<std::pair<EventType, Point>> seen;
    const Registration watch = platform().input().addGlobalMonitor(
        eventMaskBit(EventType::leftMouseDown) | eventMaskBit(EventType::leftMouseUp),
        [&](const Event& event) { seen.emplace_back(event.type, event.location); });
    catchUp();
    xcb_connection_t* holder = driver().connection();
    xcb_grab_server(holder);
    driver().click(600, 100);
    driver().sync();
    // Let go after two seconds at the latest, should the program wait for the server.
    std::atomic<bool> released = false;
    std::thread release([&] {
        for (int step = 0; step < 200 && !released; ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        xcb_ungrab_server(holder);
        xcb_flush(holder);
    });
    const auto began = Clock::now();
    runUntil([] { return false; }, 0.3);
    const double held = std::chrono::duration<double>(Clock::now() - began).count();
    released = true;
    release.join();
    EXPECT_LT(held, 1.0);
    EXPECT_TRUE(seen.empty());
    ASSERT_TRUE(runUntil([&] { return seen.size() >= 2; }));
    EXPECT_EQ(seen,
              (std::vector<std::pair<EventType, Point>>{{EventType::leftMouseDown, {600, 700}},
                                                        {EventType::leftMouseUp, {600, 700}}}));
}

}  // namespace
}  // namespace talvori::testing
