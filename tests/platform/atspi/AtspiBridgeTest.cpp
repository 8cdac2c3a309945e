#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/FirstRunWindowContent.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/OverlayViewModel.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/atspi/X11AtspiDesktopTest.hpp"
#include "platform/atspi/harness/AtspiTestBus.hpp"
#include "platform/atspi/harness/AtspiTestReader.hpp"
#include "platform/atspi/harness/AtspiTestSettings.hpp"
#include "platform/freedesktop/AtspiBridge.hpp"
#include "platform/freedesktop/AtspiObjects.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/harness/X11TestBus.hpp"
#include "ui/Node.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::testing {
namespace {

using Lines = std::vector<std::string>;

// Whether a line of `lines` contains `text`.
::testing::AssertionResult has(const Lines& lines, const std::string& text) {
    for (const auto& line : lines) {
        if (line.find(text) != std::string::npos) return ::testing::AssertionSuccess();
    }
    std::string all;
    for (const auto& line : lines) all += "\n  " + line;
    return ::testing::AssertionFailure() << "no line has \"" << text << "\":" << all;
}

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    int middleX() const { return x + width / 2; }
    int middleY() const { return y + height / 2; }
    std::string middle() const {
        return std::to_string(middleX()) + " " + std::to_string(middleY());
    }
};

Box boxOf(const std::string& line) {
    Box box;
    std::istringstream(line) >> box.x >> box.y >> box.width >> box.height;
    return box;
}

// The program with its runtime on a desktop with an accessibility bus, and a screen reader that
// each test starts when it wants one.
class AtspiBridgeTest : public X11AtspiDesktopTest {
  protected:
    // A reader starts, says so on the session bus, and finds the program registered.
    void startReader() {
        ASSERT_TRUE(accessibility->setEnabled(true));
        reader = std::make_unique<AtspiTestReader>(session(), accessibility->address());
        ASSERT_TRUE(reader->isReady());
        ASSERT_TRUE(runUntil([&] { return bridge().isRegistered(); }));
    }
    void showMenuBarPanel() {
        manager->menuBarPanelController().showPanel();
        ASSERT_TRUE(runUntil([&] { return manager->menuBarPanelController().isPanelVisible(); }));
    }
    void openSettings() {
        openSettingsWindow();
        ASSERT_TRUE(runUntil([] {
            const auto window = platform().application().sceneWindow("settings");
            return window && window->isKeyWindow();
        }));
    }
    freedesktop::AtspiBridge& bridge() const { return desktop().accessibilityBridge(); }
    // Makes the object named `name` the reader's target; its role.
    std::string find(const std::string& name) const { return reader->line("find " + name); }
    std::string wait(const std::string& event, const std::string& source = "*") const {
        return reader->line("wait " + event + " " + source);
    }

    std::unique_ptr<AtspiTestReader> reader;
};

TEST_F(AtspiBridgeTest, AReaderWalksTheMenuBarPanelPressesNewCoverAndHearsTheRowArrive) {
    showMenuBarPanel();
    startReader();
    const auto applications = reader->ask("applications");
    EXPECT_EQ(std::count(applications.begin(), applications.end(), "Talvori"), 1);
    EXPECT_EQ(reader->ask("windows"),
              Lines{"0|window|Talvori|active,enabled,sensitive,showing,visible"});
    const auto panel = reader->ask("tree 0");
    EXPECT_TRUE(
        has(panel, "  push button|New cover||enabled,focusable,sensitive,showing,visible|click"));
    EXPECT_TRUE(has(panel, "  panel|Focus Mode|Off|"));
    EXPECT_TRUE(has(panel, "    toggle button|Focus Mode||"));
    EXPECT_TRUE(has(panel, "  label|No active covers|"));

    ASSERT_EQ(find("New cover"), "push button");
    // On screen, inside its window, and found there by a reader following the pointer.
    const auto extents = reader->ask("extents");
    ASSERT_EQ(extents.size(), 2U);
    const Box button = boxOf(extents[0]), window = boxOf(extents[1]);
    EXPECT_GT(button.width, 0);
    EXPECT_GT(button.height, 0);
    EXPECT_TRUE(button.x >= window.x && button.y >= window.y &&
                button.x + button.width <= window.x + window.width &&
                button.y + button.height <= window.y + window.height)
        << extents[0] << " is not inside " << extents[1];
    EXPECT_EQ(reader->line("at " + button.middle()), "push button|New cover");
    EXPECT_EQ(reader->line("toolkit").rfind("Talvori|", 0), 0U);

    reader->ask("events");
    EXPECT_EQ(reader->line("do click"), "ok");
    EXPECT_EQ(wait("object:children-changed:add"), "ok");
    // Read through the reader's caches, which only the events brought up to date.
    const auto after = reader->ask("tree 0");
    EXPECT_TRUE(has(after, "push button|Overlay 1|"));
    EXPECT_TRUE(has(after, "push button|Rename cover Overlay 1||"));
    EXPECT_TRUE(has(after, "push button|Close cover Overlay 1||"));
    EXPECT_FALSE(has(after, "No active covers"));
}

// A reader caches all of the program on meeting it, and each new row as the program tells it of
// the row: it never asks for either.
// Its many calls per key skip the bus daemon's two hops: the reader connects to us straight, and
// the connection goes when the reader does.
TEST_F(AtspiBridgeTest, AReaderCallsUsStraightUntilItLeaves) {
    startReader();
    showMenuBarPanel();
    EXPECT_FALSE(reader->ask("tree 0").empty());
    EXPECT_TRUE(runUntil([&] { return bridge().directReaders() == 1; }));
    reader.reset();
    EXPECT_TRUE(runUntil([&] { return bridge().directReaders() == 0; }));
}

TEST_F(AtspiBridgeTest, AReaderCachesThePanelOnMeetingAndANewCoverRowAsItArrives) {
    showMenuBarPanel();
    startReader();
    ASSERT_NE(reader->line("meet 0"), "timeout");
    const auto met = reader->ask("cached 0");
    EXPECT_TRUE(has(met, "  push button|New cover")) << "the panel's elements came with it";
    EXPECT_TRUE(has(met, "  label|No active covers"));
    EXPECT_FALSE(has(met, "?"));

    ASSERT_EQ(find("New cover"), "push button");
    EXPECT_EQ(reader->line("do click"), "ok");
    EXPECT_EQ(wait("object:children-changed:add"), "ok");
    Lines cached;
    EXPECT_TRUE(runUntil([&] {
        cached = reader->ask("cached 0");
        return has(cached, "push button|Overlay 1");
    })) << has(cached, "push button|Overlay 1");
    EXPECT_TRUE(has(cached, "push button|Rename cover"));
    EXPECT_TRUE(has(cached, "push button|Close cover"));
    EXPECT_FALSE(has(cached, "No active covers"));
    EXPECT_FALSE(has(cached, "?"));
}

// Each first-run page slides in; once it rests, its controls are where the reader says they are:
// inside the window, not where the slide began.
TEST_F(AtspiBridgeTest, EachFirstRunPageTellsWhereItsControlsAreOnceItRests) {
    ASSERT_TRUE(openFirstRun());
    startReader();
    auto isInside = [&](const std::string& name) {
        if (find(name) != "push button") return false;
        const auto extents = reader->ask("extents");
        if (extents.size() != 2) return false;
        const Box control = boxOf(extents[0]), window = boxOf(extents[1]);
        return control.width > 0 && control.x >= window.x &&
               control.x + control.width <= window.x + window.width;
    };
    for (const char* next : {"Continue", "Skip for now"}) {
        ASSERT_TRUE(runUntil([&] { return isInside(next); })) << next;
        EXPECT_EQ(reader->line("do click"), "ok");
    }
    EXPECT_TRUE(runUntil([&] { return isInside("Start using Talvori"); }));
}

TEST_F(AtspiBridgeTest, AReaderTurnsFocusModeOnAndMovesItsStrengthSlider) {
    showMenuBarPanel();
    startReader();
    ASSERT_EQ(find("toggle button|Focus Mode"), "toggle button");
    EXPECT_EQ(reader->line("do click"), "ok");
    EXPECT_EQ(wait("object:state-changed:checked", "Focus Mode"), "ok");
    EXPECT_TRUE(has(reader->ask("target"), "checked"));

    ASSERT_EQ(find("Dim opacity"), "slider");
    const std::string before = reader->line("value");
    EXPECT_TRUE(has({before}, "|0|100|1|")) << before;
    EXPECT_EQ(reader->line("set-value 60"), "ok");
    EXPECT_EQ(wait("object:property-change:accessible-value", "Dim opacity"), "ok");
    const std::string now = reader->line("value");
    EXPECT_EQ(now.rfind("60|0|100|1|", 0), 0U) << now;
    EXPECT_TRUE(has({now}, " percent")) << now;
    EXPECT_NE(now.substr(now.rfind('|')), before.substr(before.rfind('|')));
}

TEST_F(AtspiBridgeTest, AReaderTabsThroughTheShortcutsAndClearsOneThroughItsAction) {
    openSettings();
    startReader();
    EXPECT_TRUE(has(reader->ask("windows"), "0|frame|Settings|active,"));
    ASSERT_EQ(find("Shortcuts"), "page tab");
    EXPECT_EQ(reader->line("do click"), "ok");
    EXPECT_EQ(wait("object:children-changed:add", "Settings"), "ok");
    reader->ask("events");

    // The tabs come first; a field's clear button is the pointer's, and Tab passes it by.
    for (const char* field :
         {"Show Talvori Panel shortcut", "Toggle Focus Mode shortcut", "New Cover shortcut"}) {
        std::string focused;
        for (int tabs = 0; tabs < 4 && focused.rfind(std::string("push button|") + field, 0);
             ++tabs) {
            driver().tap(X11TestDriver::kTab);
            focused = reader->line("next-focus");
        }
        EXPECT_EQ(focused.rfind(std::string("push button|") + field, 0), 0U)
            << field << " not focused: " << focused;
    }
    // Keys reach the reader first, and the program after it (this reader listens to keys without
    // modifiers only); Shift+Tab goes back.
    driver().tap(X11TestDriver::kTab);
    EXPECT_EQ(wait("key:press:Tab"), "ok");
    ASSERT_NE(reader->line("next-focus"), "timeout");
    reader->ask("events");
    driver().tap(X11TestDriver::kTab, {X11TestDriver::kLeftShift});
    EXPECT_EQ(wait("object:state-changed:focused", "New Cover shortcut"), "ok");

    ASSERT_EQ(find("New Cover shortcut"), "push button");
    // The shortcut leads the description, where readers that read no value of a button hear it.
    EXPECT_EQ(reader->line("target"),
              "push button|New Cover shortcut|Alt Super N. Press Return to record a new "
              "shortcut.|Alt Super N|enabled,focusable,focused,sensitive,showing,visible|"
              "click,Clear New Cover shortcut");
    EXPECT_EQ(reader->line("do Clear New Cover shortcut"), "ok");
    EXPECT_EQ(wait("object:property-change:accessible-value", "New Cover shortcut"), "ok");
    EXPECT_EQ(reader->line("value"), "0|0|0|0|None");
    EXPECT_TRUE(has(reader->ask("target"), "|None. Press Return to record a new shortcut.|"));

    // A click where the reader says a field is puts the focus there.
    ASSERT_EQ(find("Show Talvori Panel shortcut"), "push button");
    const Box field = boxOf(reader->line("extents"));
    driver().click(field.middleX(), field.middleY());
    EXPECT_EQ(wait("object:state-changed:focused", "Show Talvori Panel shortcut"), "ok");

    // A key the reader takes for itself never reaches the program.
    EXPECT_EQ(reader->line("take Tab"), "ok");
    reader->ask("events");
    driver().tap(X11TestDriver::kTab);
    EXPECT_EQ(wait("key:release:Tab"), "ok");
    // The program has seen whatever reached it, and its answer to the reader comes after any
    // event it sent.
    catchUp();
    EXPECT_TRUE(has({reader->line("target")}, ",focused,"));
    EXPECT_FALSE(has(reader->ask("events"), "object:state-changed:focused"));
}

TEST_F(AtspiBridgeTest, AReaderReadsAndEditsACoversNameAndItsCaret) {
    showMenuBarPanel();
    startReader();
    ASSERT_EQ(find("New cover"), "push button");
    EXPECT_EQ(reader->line("do click"), "ok");
    EXPECT_EQ(wait("object:children-changed:add"), "ok");
    ASSERT_EQ(find("Rename cover Overlay 1"), "push button");
    EXPECT_EQ(reader->line("do click"), "ok");
    EXPECT_EQ(wait("object:state-changed:focused", "Name"), "ok");

    ASSERT_EQ(find("Name"), "entry");
    const std::string field = reader->line("text");
    ASSERT_EQ(field.rfind("Overlay ", 0), 0U) << field;
    const std::string name = field.substr(0, field.find('|'));
    EXPECT_EQ(field, name + "|" + std::to_string(name.size()));
    EXPECT_EQ(reader->line("caret 2"), "ok");
    EXPECT_EQ(wait("object:text-caret-moved", "Name"), "ok");
    EXPECT_EQ(reader->line("text"), name + "|2");
    EXPECT_EQ(reader->line("set-text Glass \u00e9t\u00e9"), "ok");
    EXPECT_EQ(wait("object:text-changed:insert", "Name"), "ok");
    EXPECT_EQ(reader->line("text"), "Glass \u00e9t\u00e9|9");
    EXPECT_TRUE(has(reader->ask("events"), "object:text-changed:delete|"));
}

TEST_F(AtspiBridgeTest, AReaderHearsACoverRenamedAndWindowsComeBecomeActiveAndGo) {
    const auto cover = manager->createCover();
    showMenuBarPanel();
    startReader();
    reader->ask("events");
    cover->rename("Glass");
    EXPECT_EQ(wait("object:property-change:accessible-name", "Glass"), "ok");

    openSettings();
    EXPECT_EQ(wait("window:create", "Settings"), "ok");
    EXPECT_EQ(wait("window:activate", "Settings"), "ok");
    // The panel goes when another window of the program becomes active.
    EXPECT_TRUE(has(reader->ask("events"), "window:destroy|"));
    // A loaded window manager may focus the new window only now: that would make it active again
    // while the panel shows.
    const auto settings = platform().application().sceneWindow("settings")->windowNumber();
    ASSERT_TRUE(runUntil([&] { return desktop().clients().activeWindow() == settings; }));
    showMenuBarPanel();
    EXPECT_EQ(wait("window:activate", "Talvori"), "ok");
    EXPECT_EQ(wait("window:deactivate", "Settings"), "ok");
    // The keys go back to Settings, which the window manager kept active, as the panel closes.
    reader->ask("events");
    manager->menuBarPanelController().hidePanel();
    EXPECT_EQ(wait("window:activate", "Settings"), "ok");
    EXPECT_TRUE(has(reader->ask("windows"), "|frame|Settings|active,"));
    platform().application().sceneWindow("settings")->close();
    EXPECT_EQ(wait("window:destroy", "Settings"), "ok");
    EXPECT_FALSE(has(reader->ask("windows"), "Settings"));
}

TEST_F(AtspiBridgeTest, NothingIsPublishedUntilAReaderComesAndAnnouncementsGoWhereItListens) {
    showMenuBarPanel();
    catchUp();
    EXPECT_FALSE(bridge().isRegistered()) << "nobody reads: no accessibility bus traffic";
    EXPECT_FALSE(bridge().announce("Cover hidden", Announcer::kHighPriority));

    startReader();
    // The reader's listeners reach the program through the registry.
    ASSERT_TRUE(
        runUntil([&] { return bridge().announce("Cover hidden", Announcer::kHighPriority); }));
    EXPECT_EQ(wait("object:announcement"), "ok");
    EXPECT_TRUE(has(reader->ask("events"), "object:announcement|2|Talvori|window"));

    ASSERT_TRUE(accessibility->setEnabled(false));
    EXPECT_TRUE(runUntil([&] { return !bridge().isRegistered(); }));
    EXPECT_EQ(reader->ask("windows"), Lines{});
}

// Announcements go while one reader listens, and stop when the last one quits (the registry
// names no event when it deregisters a reader that went); a reader that comes back hears them.
TEST_F(AtspiBridgeTest, AnnouncementsFollowTheReadersThatListenAsTheyComeAndGo) {
    startReader();
    // A second reader that listens for announcements alone, and quits first.
    sd_bus* other = accessibility->connect();
    ASSERT_TRUE(other);
    ASSERT_GE(sd_bus_call_method(other, "org.a11y.atspi.Registry", "/org/a11y/atspi/registry",
                                 "org.a11y.atspi.Registry", "RegisterEvent", nullptr, nullptr, "s",
                                 "object:announcement"),
              0);
    sd_bus_flush_close_unref(other);
    catchUp();
    EXPECT_TRUE(bridge().announce("Cover hidden", 50));
    EXPECT_EQ(wait("object:announcement"), "ok");

    reader.reset();
    EXPECT_TRUE(runUntil([&] { return !bridge().announce("Cover shown", 50); }))
        << "announcements still go to a reader that quit";

    startReader();
    ASSERT_TRUE(runUntil([&] { return bridge().announce("Focus on", 50); }));
    EXPECT_EQ(wait("object:announcement"), "ok");
}

// A registry that never answers (stopped here; one waiting on a reader that hangs is the same)
// holds a key no longer than the program waits for it, and the key is then the program's as if
// no reader ran. The loop sleeps between its own deadlines, as the program's does.
TEST_F(AtspiBridgeTest, AKeyTheRegistryNeverAnswersForReachesTheProgramWhenTheWaitEnds) {
    openSettings();
    startReader();
    int typed = 0;
    const auto monitor = platform().input().addLocalMonitor(
        eventMaskBit(EventType::keyDown), [&](const Event& event) -> std::optional<Event> {
            ++typed;
            return event;
        });
    ASSERT_TRUE(accessibility->stopRegistry());
    for (int key = 1; key <= 2; ++key) {
        driver().tap(X11TestDriver::kTab);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(450);
        while (typed < key && std::chrono::steady_clock::now() < deadline) {
            const std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
            platform().runLoop().runOnce(std::max(0.0, left.count()));
        }
        EXPECT_EQ(typed, key);
    }
}

// A window walked by Tab alone: some of its stops in the order Tab reaches them, one pressed with
// Space and what a reader hears of it, the key binding the reader hears with that stop, and
// whether Escape closes the window (the first-run window stays; a cover's control panel goes
// when the pointer leaves the cover).
struct KeyboardWalk {
    std::string window;
    std::vector<std::string> stops;
    std::string pressed;
    std::string binding;
    std::string heard;
    bool escapeCloses = true;
};

void PrintTo(const KeyboardWalk& walk, std::ostream* out) {
    *out << walk.window;
}

class AtspiKeyboardWalkTest : public AtspiBridgeTest,
                              public ::testing::WithParamInterface<KeyboardWalk> {
  protected:
    void open(const std::string& window) {
        if (window == "panel") {
            // As its shortcut opens it: with the first control focused.
            manager->menuBarPanelController().showPanel(true);
            ASSERT_TRUE(
                runUntil([&] { return manager->menuBarPanelController().isPanelVisible(); }));
        } else if (window == "controlPanel") {
            openControlPanel();
        } else if (window == "firstRun") {
            ASSERT_TRUE(openFirstRun());
        } else {
            openSettings();
        }
    }
    // Where the pointer rests on a cover, and clicked where it shows a heading, which gives the
    // panel the keys and presses nothing.
    void openControlPanel() {
        auto* const shown = restPointerOnNewCover();
        ASSERT_TRUE(shown) << "the control panel";
        auto& controls = *shown;
        startReader();
        ASSERT_EQ(find("APPEARANCE"), "label");
        const Box heading = boxOf(reader->line("extents"));
        driver().click(heading.middleX(), heading.middleY());
        ASSERT_TRUE(runUntil([&] { return controls.panel()->isKeyWindow(); }));
    }
    bool isOpen(const std::string& window) const {
        if (window == "panel") return manager->menuBarPanelController().isPanelVisible();
        if (window == "controlPanel") return manager->controlPanelController().isPanelVisible();
        const auto scene = platform().application().sceneWindow(window);
        return scene && !scene->isClosed();
    }
    // The focused object's role|name|binding after each Tab, round to where the walk began; the
    // panel opens with its first control focused, which Tab reaches last. A window with one
    // control keeps the focus where it is, and the reader hears nothing more.
    Lines walkRound(const std::string& window) {
        // The focus the reader heard on arriving is not one that a Tab moved.
        reader->ask("events");
        int released = 0;
        const Registration releases = platform().input().addLocalMonitor(
            eventMaskBit(EventType::keyUp), [&](const Event& event) -> std::optional<Event> {
                ++released;
                return event;
            });
        Lines stops;
        for (int tabs = 0; tabs < 40; ++tabs) {
            const ui::Node* before = programFocus();
            const int releasedBefore = released;
            driver().tap(X11TestDriver::kTab);
            // Its release comes after its press has moved the focus, or left it where it was,
            // which the reader hears nothing of.
            EXPECT_TRUE(runUntil([&] { return released > releasedBefore; }));
            if (programFocus() == before) break;
            std::string focused = reader->line("next-focus");
            // A focus the reader heard late, from before the Tab, is not the one the Tab moved to.
            while (focused != "timeout" && nameOf(focused) != programFocusName()) {
                focused = reader->line("next-focus");
            }
            if (focused == "timeout" || (!stops.empty() && focused == stops.front())) break;
            stops.push_back(focused);
            picture(window + "-" + std::to_string(stops.size()));
        }
        // A window that opened with its one control focused: the reader heard it as it opened.
        if (stops.empty() && programFocus()) stops.push_back("|" + programFocusName() + "|");
        focused = stops.empty() ? "" : stops.front();
        if (window == "panel" && !stops.empty())
            std::rotate(stops.begin(), stops.end() - 1, stops.end());
        return stops;
    }
    // The views of the program's key window.
    static ui::Host* keyHost() {
        const auto window = platform().application().keyWindow();
        const auto content =
            std::dynamic_pointer_cast<ui::PanelHost>(window ? window->hostedContent() : nullptr);
        return content ? &content->host() : nullptr;
    }
    static const ui::Node* programFocus() {
        ui::Host* host = keyHost();
        return host ? host->focusedNode() : nullptr;
    }
    static std::string focusedLabel(const std::vector<AccessibilityNode>& elements) {
        for (const auto& element : elements) {
            if (element.isFocused) return element.label;
            if (auto inner = focusedLabel(element.children); !inner.empty()) return inner;
        }
        return "";
    }
    // The name a reader hears of the control the program has focused.
    static std::string programFocusName() {
        ui::Host* host = keyHost();
        return host ? focusedLabel(host->accessibilityElements()) : "";
    }
    // The window with its ring drawn, for a person to look at, when pictures are asked for.
    void picture(const std::string& name) {
        if (!std::getenv("TALVORI_SCREENSHOT_DIR")) return;
        catchUp();
        screenshot(name);
    }
    // The stop the walk ended on.
    std::string focused;
    static std::string nameOf(const std::string& stop) {
        const auto first = stop.find('|');
        return stop.substr(first + 1, stop.find('|', first + 1) - first - 1);
    }
};

TEST_P(AtspiKeyboardWalkTest, TabReachesEveryControlInOrderAndSpacePressesIt) {
    const auto& walk = GetParam();
    open(walk.window);
    if (!reader) startReader();
    const Lines stops = walkRound(walk.window);
    ASSERT_GE(stops.size(), walk.stops.size()) << ::testing::PrintToString(stops);
    auto next = stops.begin();
    for (const auto& wanted : walk.stops) {
        next = std::find_if(next, stops.end(),
                            [&](const std::string& stop) { return nameOf(stop) == wanted; });
        ASSERT_NE(next, stops.end())
            << wanted << " is not reached in order: " << ::testing::PrintToString(stops);
    }
    EXPECT_TRUE(isOpen(walk.window)) << "Tab never leaves the window";

    for (std::size_t tabs = 0; tabs <= stops.size() && nameOf(focused) != walk.pressed; ++tabs) {
        driver().tap(X11TestDriver::kTab);
        focused = reader->line("next-focus");
    }
    ASSERT_EQ(nameOf(focused), walk.pressed);
    EXPECT_EQ(focused.substr(focused.rfind('|') + 1), walk.binding);
    reader->ask("events");
    driver().tap(X11TestDriver::kSpace);
    EXPECT_EQ(wait(walk.heard), "ok");
    EXPECT_TRUE(isOpen(walk.window)) << "Space never leaves the window";

    if (!walk.escapeCloses) return;
    driver().tap(X11TestDriver::kEscape);
    EXPECT_TRUE(runUntil([&] { return !isOpen(walk.window); })) << "Escape closes it";
}

INSTANTIATE_TEST_SUITE_P(
    Windows, AtspiKeyboardWalkTest,
    ::testing::Values(
        KeyboardWalk{"panel",
                     {"Settings", "Quit Talvori", "Focus Mode", "New cover"},
                     "New cover",
                     ";;<Super>n",
                     "object:announcement"},
        KeyboardWalk{"settings",
                     {"General", "Shortcuts", "Launch at Login"},
                     "Shortcuts",
                     ";;<Control>Page_Down",
                     "object:children-changed:add"},
        KeyboardWalk{
            "firstRun", {"Continue"}, "Continue", "", "object:children-changed:add", false},
        KeyboardWalk{"controlPanel",
                     {"Rename cover Overlay 1", "Glass", "Solid", "Opacity", "Attach to window",
                      "DUPLICATE"},
                     "Solid",
                     "",
                     "object:children-changed:add",
                     false}),
    [](const auto& info) { return info.param.window; });

// Space on the Focus Mode switch: the reader hears the switch's new state before the changes of
// the card around it, which would otherwise keep the press unsaid, and then hears those too.
TEST_F(AtspiKeyboardWalkTest, SpaceOnTheFocusSwitchIsHeardBeforeTheCardAroundIt) {
    open("panel");
    startReader();
    for (int tabs = 0; tabs < 4 && programFocusName() != "Focus Mode"; ++tabs) {
        const ui::Node* before = programFocus();
        driver().tap(X11TestDriver::kTab);
        ASSERT_TRUE(runUntil([&] { return programFocus() != before; }));
    }
    ASSERT_EQ(programFocusName(), "Focus Mode");
    reader->ask("events");
    driver().tap(X11TestDriver::kSpace);
    // The card shows the effect's controls once Focus Mode is on.
    EXPECT_EQ(wait("object:children-changed:add", "Focus Mode"), "ok");
    const auto events = reader->ask("events");
    const auto checked = std::find(events.begin(), events.end(),
                                   "object:state-changed:checked|1|Focus Mode|toggle button");
    const auto card = std::find_if(events.begin(), events.end(), [](const std::string& event) {
        return event.rfind("object:children-changed:add|", 0) == 0 &&
               event.ends_with("|Focus Mode|panel");
    });
    ASSERT_NE(checked, events.end()) << ::testing::PrintToString(events);
    EXPECT_LT(checked, card) << ::testing::PrintToString(events);
}

// A client queues two thousand calls for the whole tree, each far more work for the program
// than for the bus, and reads no answer: the program takes them a slice at a time, and the
// desktop's events keep their turn between the slices. Taken all at once, they held the events
// for seconds. Compared with the time the whole flood takes, so that a loaded machine slows both.
TEST_F(AtspiBridgeTest, AFloodOfCallsLeavesTheDesktopsEventsTheirTurn) {
    openSettings();
    ASSERT_TRUE(accessibility->setEnabled(true));
    ASSERT_TRUE(runUntil([&] { return bridge().isRegistered(); }));
    const auto alpha = openClient("Alpha", 100, 120, 400, 300, 0x2080e0);
    openClient("Beta", 600, 300, 300, 200, 0xe08020);
    sd_bus* client = accessibility->connect();
    ASSERT_TRUE(client);
    bool floodAnswered = false;
    const auto getItems = [&](bool answered) {
        sd_bus_message* message = nullptr;
        sd_bus_message_new_method_call(client, &message, bridge().busName(),
                                       freedesktop::AtspiObjects::kCachePath,
                                       freedesktop::AtspiObjects::kCacheInterface, "GetItems");
        sd_bus_message_set_expect_reply(message, answered);
        bool sent = false;
        if (answered) {
            const auto onAnswer = [](sd_bus_message*, void* flag, sd_bus_error*) {
                *static_cast<bool*>(flag) = true;
                return 0;
            };
            sent = sd_bus_call_async(client, nullptr, message, onAnswer, &floodAnswered, 0) >= 0;
        } else {
            sent = sd_bus_send(client, message, nullptr) >= 0;
        }
        sd_bus_message_unref(message);
        return sent;
    };
    for (int call = 0; call < 2'000; ++call) ASSERT_TRUE(getItems(false));
    // Answered only once every call before it was handled.
    ASSERT_TRUE(getItems(true));
    ASSERT_GE(sd_bus_flush(client), 0);

    const auto asked = std::chrono::steady_clock::now();
    driver().activate(alpha.window);
    ASSERT_TRUE(runUntil([&] { return desktop().clients().activeWindow() == alpha.window; }));
    const auto seen = std::chrono::steady_clock::now() - asked;
    ASSERT_TRUE(runUntil(
        [&] {
            while (sd_bus_process(client, nullptr) > 0) {
            }
            return floodAnswered;
        },
        30));
    EXPECT_LT(seen * 2, std::chrono::steady_clock::now() - asked);
    sd_bus_flush_close_unref(client);
}

}  // namespace
}  // namespace talvori::testing
