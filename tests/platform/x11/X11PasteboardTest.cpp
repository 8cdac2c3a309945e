#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "menubar/RenameField.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Observation.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/X11Pasteboard.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/harness/X11ClipboardPeer.hpp"
#include "ui/PanelHost.hpp"
#include "ui/TextField.hpp"

namespace talvori::testing {
namespace {

constexpr std::uint8_t kV = 47;
constexpr std::uint8_t kC = 46;
constexpr std::uint8_t kE = 18;
constexpr std::uint8_t kApostrophe = 40;
constexpr std::uint8_t kCompose = 127;

class X11PasteboardTest : public X11DesktopTest {
  protected:
    explicit X11PasteboardTest(X11TestSession::Options options = {})
        : X11DesktopTest(std::move(options)) {}
    // A rename field in a panel at root (300, 200), focused by a click.
    void showRenameField() {
        host =
            ui::PanelHost::make(ui::RenameField{name, editing, focused, 13, [](auto&) {}}.view());
        panel = platform().application().makePanel(Rect(300, 560, 240, 40),
                                                   StyleMask::nonactivatingPanel);
        panel->setCanBecomeKey(true);
        panel->setHostedContent(host);
        panel->orderFront();
        ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
        driver().click(420, 220);
        // Typing before the panel held the keyboard would type elsewhere. Its grab is handled
        // before the probe, which would otherwise take the keyboard first.
        ASSERT_TRUE(runUntil([&] { return panel->isKeyWindow(); }));
        catchUp();
        ASSERT_TRUE(runUntil([&] { return driver().isKeyboardHeld(); }));
    }

    void typeKeys(std::initializer_list<std::uint8_t> keys) {
        for (const std::uint8_t key : keys) driver().tap(key);
    }
    // What reading the clipboard (or the selection) brings, once it comes.
    std::optional<std::string> readText(bool selection = false) {
        std::optional<std::optional<std::string>> received;
        auto receive = [&](std::optional<std::string> text) { received = std::move(text); };
        auto& pasteboard = platform().pasteboard();
        if (selection) {
            pasteboard.readSelectionString(SIZE_MAX, receive);
        } else {
            pasteboard.readString(SIZE_MAX, receive);
        }
        // Longer than any read is waited for, so the receiver never outlives `received`.
        EXPECT_TRUE(runUntil([&] { return received.has_value(); }));
        return received.value_or(std::nullopt);
    }

    Observable<std::string> name{std::string()};
    Observable<bool> editing{true};
    Observable<bool> focused{true};
    std::shared_ptr<ui::PanelHost> host;
    std::shared_ptr<Panel> panel;
};

TEST_F(X11PasteboardTest, TextCopiedElsewherePastesIntoARenameFieldAndItsCopyPastesElsewhere) {
    ClipboardPeer peer(session().display());
    auto& pasteboard = platform().pasteboard();
    const int before = pasteboard.changeCount();
    peer.copy("Caf\u00e9 notes");
    ASSERT_TRUE(runUntil([&] { return pasteboard.changeCount() > before; }));
    EXPECT_EQ(readText(), "Caf\u00e9 notes");

    showRenameField();
    driver().tap(kV, {X11TestDriver::kLeftSuper});
    EXPECT_TRUE(runUntil([&] { return name.peek() == "Caf\u00e9 notes"; }));

    name.set("Left monitor");
    driver().tap(X11TestDriver::kA, {X11TestDriver::kLeftSuper});
    driver().tap(kC, {X11TestDriver::kLeftSuper});
    ASSERT_TRUE(runUntil([&] { return readText() == "Left monitor"; }));
    const int afterCopy = pasteboard.changeCount();
    peer.paste();
    EXPECT_TRUE(runUntil([&] { return peer.pasted() == "Left monitor"; }));

    // Emptied, the pasteboard offers nothing, here or elsewhere.
    pasteboard.clearContents();
    EXPECT_GT(pasteboard.changeCount(), afterCopy);
    EXPECT_EQ(readText(), std::nullopt);
    peer.paste();
    EXPECT_TRUE(runUntil([&] { return peer.pasted() == ""; }));
}

// Control does what Super does, and the middle button pastes the selection that selecting sets.
TEST_F(X11PasteboardTest, ControlKeysEditARenameFieldAndTheSelectionPastesWithTheMiddleButton) {
    ClipboardPeer peer(session().display());
    showRenameField();
    name.set("808080");
    driver().tap(X11TestDriver::kA, {X11TestDriver::kLeftControl});
    typeKeys({X11TestDriver::kN, X11TestDriver::kA, kV, X11TestDriver::kY});
    ASSERT_TRUE(runUntil([&] { return name.peek() == "navy"; })) << name.peek();

    driver().tap(X11TestDriver::kA, {X11TestDriver::kLeftControl});
    driver().tap(kC, {X11TestDriver::kLeftControl});
    EXPECT_TRUE(runUntil([&] { return readText() == "navy"; }));
    peer.paste("PRIMARY");
    EXPECT_TRUE(runUntil([&] { return peer.pasted() == "navy"; }));

    peer.copy(" teal", "PRIMARY");
    ASSERT_TRUE(runUntil([&] { return readText(true) == " teal"; }));
    driver().click(420, 220, 2);
    EXPECT_TRUE(runUntil([&] { return name.peek() == "navy teal"; })) << name.peek();
    driver().tap(X11TestDriver::kZ, {X11TestDriver::kLeftControl});
    EXPECT_TRUE(runUntil([&] { return name.peek() == "navy"; })) << name.peek();
}

// Switched to Russian while the program runs, the keys type Cyrillic, and Control chords still
// act by the Latin layout's key, as in other programs.
TEST_F(X11PasteboardTest, ControlChordsActByTheLatinKeyOnARussianLayout) {
    ClipboardPeer peer(session().display());
    showRenameField();
    name.set("Left");
    ASSERT_EQ(session().run({"setxkbmap", "-layout", "us,ru", "-option", "grp:caps_toggle"}), 0);
    driver().tap(X11TestDriver::kCapsLock);
    driver().tap(X11TestDriver::kA);
    ASSERT_TRUE(runUntil([&] { return name.peek() == "Left\u0444"; })) << name.peek();
    peer.copy("Notes");
    ASSERT_TRUE(runUntil([&] { return readText() == "Notes"; }));
    driver().tap(X11TestDriver::kA, {X11TestDriver::kLeftControl});
    driver().tap(kV, {X11TestDriver::kLeftControl});
    EXPECT_TRUE(runUntil([&] { return name.peek() == "Notes"; })) << name.peek();
}

TEST_F(X11PasteboardTest, DeadKeysAndTheComposeKeyTypeComposedCharacters) {
    ASSERT_EQ(session().run({"setxkbmap", "-layout", "us", "-option", "compose:menu"}), 0);
    showRenameField();
    typeKeys({kCompose, kApostrophe, kE});
    EXPECT_TRUE(runUntil([&] { return name.peek() == "\u00e9"; })) << name.peek();

    // The international layout's apostrophe is a dead acute.
    ASSERT_EQ(session().run({"setxkbmap", "-layout", "us", "-variant", "intl"}), 0);
    ASSERT_TRUE(runUntil([&] { return platform().keyboardLayout().characters(39) == ""; }));
    typeKeys({kApostrophe, kE, kApostrophe, X11TestDriver::kA});
    EXPECT_TRUE(runUntil([&] { return name.peek() == "\u00e9\u00e9\u00e1"; })) << name.peek();
    // A key that types no text ends a sequence and does what it does.
    driver().tap(kApostrophe);
    driver().tap(X11TestDriver::kRight);
    driver().tap(kE);
    EXPECT_TRUE(runUntil([&] { return name.peek() == "\u00e9\u00e9\u00e1e"; })) << name.peek();
}

// Only as much as the field keeps is read, however much another program copied.
TEST_F(X11PasteboardTest, AHugePasteIsCutToTheFieldsLength) {
    ClipboardPeer peer(session().display());
    peer.copy(std::string(std::size_t{15} << 20, 'w'));
    showRenameField();
    driver().tap(kV, {X11TestDriver::kLeftControl});
    const std::string kept(ui::TextField::kDefaultMaxLength, 'w');
    EXPECT_TRUE(runUntil([&] { return name.peek() == kept; })) << name.peek().size();
}

struct StalledOwner {
    const char* name;
    ClipboardPeer::Sending sending;
    const char* logged;
};

class X11StalledPasteTest : public X11PasteboardTest,
                            public ::testing::WithParamInterface<StalledOwner> {};

// While a paste waits for a program that does not send its text, typing goes on; two seconds after
// it began the paste is given up, and nothing goes in.
TEST_P(X11StalledPasteTest, TypingGoesOnAndThePasteIsGivenUpAfterTwoSeconds) {
    using Clock = std::chrono::steady_clock;
    ClipboardPeer peer(session().display());
    peer.setSending(GetParam().sending);
    peer.copy("never whole");
    showRenameField();
    const auto began = Clock::now();
    const auto since = [&] { return std::chrono::duration<double>(Clock::now() - began).count(); };
    driver().tap(kV, {X11TestDriver::kLeftControl});
    driver().tap(X11TestDriver::kA);
    ASSERT_TRUE(runUntil([&] { return name.peek() == "a"; })) << name.peek();
    EXPECT_LT(since(), 1.0) << "the key waited for the paste";
    ASSERT_TRUE(runUntil([&] { return logs().contains(GetParam().logged); }));
    EXPECT_GT(since(), 1.9);
    EXPECT_LT(since(), 2.6);
    catchUp();
    EXPECT_EQ(name.peek(), "a");
}

INSTANTIATE_TEST_SUITE_P(
    Owners, X11StalledPasteTest,
    ::testing::Values(StalledOwner{"silent", ClipboardPeer::Sending::never,
                                   "The program holding the clipboard did not answer"},
                      StalledOwner{"trickling", ClipboardPeer::Sending::trickle,
                                   "The program holding the clipboard did not send its text in "
                                   "time"}),
    [](const ::testing::TestParamInfo<StalledOwner>& info) { return info.param.name; });

// On quitting (once the settings are written), the clipboard manager takes a copy of what we
// copied; one that never answers keeps the program waiting two seconds at most.
TEST_F(X11PasteboardTest, TheClipboardManagerKeepsCopiedTextOnceWeQuit) {
    auto& pasteboard = dynamic_cast<x11::X11Pasteboard&>(platform().pasteboard());
    ASSERT_TRUE(pasteboard.setString("Kept after quitting"));
    {
        ClipboardPeer silent(session().display());
        silent.manageClipboard(false);
        ASSERT_TRUE(silent.isManagingClipboard());
        pasteboard.handOverToClipboardManager();
        EXPECT_TRUE(logs().contains("The clipboard manager did not take the copied text in time"));
    }
    ClipboardPeer manager(session().display());
    manager.manageClipboard(true);
    ASSERT_TRUE(manager.isManagingClipboard());
    platform().application().terminate();
    desktop().handOverClipboard();
    EXPECT_EQ(manager.kept(), "Kept after quitting");
}

enum class Flood { multipleTargets, targetsRequests, compositorFlaps, compositorFight };

// Another program sending without limit: the requests a clipboard owner must answer, a
// compositor that keeps taking and dropping its selection, or two that keep taking it from each
// other. Without a compositor of the session's own, which would end on losing its selection.
class X11FloodTest : public X11PasteboardTest, public ::testing::WithParamInterface<Flood> {
  protected:
    X11FloodTest() : X11PasteboardTest({.compositor = false}) {}
    ~X11FloodTest() override {
        stopFight();
        if (flooder) xcb_disconnect(flooder);
    }
    xcb_atom_t intern(const char* name) const {
        auto reply = x11::waitReply(
            xcb_intern_atom_reply, flooder,
            xcb_intern_atom(flooder, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    void flood() {
        flooder = xcb_connect(session().display().c_str(), nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(flooder)).data;
        const xcb_window_t window = xcb_generate_id(flooder);
        xcb_create_window(flooder, 0, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const xcb_atom_t clipboard = intern("CLIPBOARD"), property = intern("FLOOD");
        switch (GetParam()) {
            case Flood::multipleTargets: {
                const std::vector<xcb_atom_t> pairs(2'000'000, intern("UTF8_STRING"));
                xcb_change_property(flooder, XCB_PROP_MODE_REPLACE, window, property,
                                    intern("ATOM_PAIR"), 32,
                                    static_cast<std::uint32_t>(pairs.size()), pairs.data());
                xcb_convert_selection(flooder, window, clipboard, intern("MULTIPLE"), property,
                                      XCB_CURRENT_TIME);
                break;
            }
            case Flood::targetsRequests:
                for (std::size_t request = 0; request < kTargetsRequests; ++request) {
                    xcb_convert_selection(flooder, window, clipboard, intern("TARGETS"), property,
                                          XCB_CURRENT_TIME);
                }
                break;
            case Flood::compositorFlaps:
                for (int flap = 0; flap < 2'000; ++flap) {
                    const xcb_atom_t selection = intern("_NET_WM_CM_S0");
                    xcb_set_selection_owner(flooder, window, selection, XCB_CURRENT_TIME);
                    xcb_set_selection_owner(flooder, XCB_WINDOW_NONE, selection, XCB_CURRENT_TIME);
                }
                break;
            case Flood::compositorFight:
                fight(intern("_NET_WM_CM_S0"));
                break;
        }
        xcb_flush(flooder);
    }
    // Two owners take the selection from each other every millisecond or so, each change read by
    // the program on its own, until stopFight; the windows the program makes meanwhile are
    // counted (each look at the stacking shows windows of its own).
    void fight(xcb_atom_t selection) {
        watcher = xcb_connect(session().display().c_str(), nullptr);
        const std::uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
        xcb_change_window_attributes(watcher, driver().root(), XCB_CW_EVENT_MASK, events);
        ASSERT_TRUE(
            x11::waitReply(xcb_get_input_focus_reply, watcher, xcb_get_input_focus(watcher)));
        fightStarted = std::chrono::steady_clock::now();
        fighter = std::thread([this, selection] {
            xcb_connection_t* other = xcb_connect(session().display().c_str(), nullptr);
            const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(other)).data;
            xcb_window_t owners[2];
            for (xcb_window_t& owner : owners) {
                owner = xcb_generate_id(other);
                xcb_create_window(other, 0, owner, screen->root, 0, 0, 1, 1, 0,
                                  XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
            }
            for (int change = 0; !fightEnds; ++change) {
                xcb_set_selection_owner(other, owners[change % 2], selection, XCB_CURRENT_TIME);
                xcb_flush(other);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            xcb_disconnect(other);
        });
    }
    // Seconds the fight went on.
    double stopFight() {
        if (!fighter.joinable()) return 0;
        fightEnds = true;
        fighter.join();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - fightStarted).count();
        const xcb_setup_t* setup = xcb_get_setup(desktop().connection().raw());
        EXPECT_TRUE(
            x11::waitReply(xcb_get_input_focus_reply, watcher, xcb_get_input_focus(watcher)));
        while (xcb_generic_event_t* event = xcb_poll_for_queued_event(watcher)) {
            const auto* create = reinterpret_cast<xcb_create_notify_event_t*>(event);
            if ((event->response_type & 0x7f) == XCB_CREATE_NOTIFY &&
                (create->window & ~setup->resource_id_mask) == setup->resource_id_base) {
                ++windowsMade;
            }
            std::free(event);
        }
        xcb_disconnect(std::exchange(watcher, nullptr));
        return seconds;
    }

    struct Answers {
        std::size_t filled = 0;
        std::size_t refused = 0;
    };
    // What the program had answered by now: whatever it sent reached the server before our own
    // round trip's reply, and the flooder's events before its own.
    Answers answersSoFar() const {
        xcb_connection_t* program = desktop().application().sharedConnection()->raw();
        EXPECT_TRUE(
            x11::waitReply(xcb_get_input_focus_reply, program, xcb_get_input_focus(program)));
        EXPECT_TRUE(
            x11::waitReply(xcb_get_input_focus_reply, flooder, xcb_get_input_focus(flooder)));
        Answers answers;
        while (xcb_generic_event_t* event = xcb_poll_for_queued_event(flooder)) {
            if ((event->response_type & 0x7f) == XCB_SELECTION_NOTIFY) {
                const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
                ++(notify->property == XCB_ATOM_NONE ? answers.refused : answers.filled);
            }
            std::free(event);
        }
        return answers;
    }

    static constexpr std::size_t kTargetsRequests = 100'000;
    xcb_connection_t* flooder = nullptr;
    xcb_connection_t* watcher = nullptr;
    std::thread fighter;
    std::atomic<bool> fightEnds = false;
    std::chrono::steady_clock::time_point fightStarted;
    int windowsMade = 0;
};

TEST_P(X11FloodTest, AKeyTypedMeanwhileIsNotHeldBehindIt) {
    using Clock = std::chrono::steady_clock;
    ASSERT_TRUE(platform().pasteboard().setString("Copied"));
    showRenameField();
    flood();
    // All of it sent to the program before the key.
    ASSERT_TRUE(x11::waitReply(xcb_get_input_focus_reply, flooder, xcb_get_input_focus(flooder)));
    const auto typed = Clock::now();
    driver().tap(X11TestDriver::kA);
    ASSERT_TRUE(runUntil([&] { return name.peek() == "a"; }));
    std::cout << "[ figures ] key shown after "
              << std::chrono::duration<double, std::milli>(Clock::now() - typed).count() << " ms\n";
    const Answers answers = answersSoFar();
    switch (GetParam()) {
        case Flood::multipleTargets:
            EXPECT_EQ(answers.refused, 1U);
            break;
        case Flood::targetsRequests:
            // Shown before the flood was answered to the end, whatever the machine's pace.
            EXPECT_GT(answers.filled, 0U);
            EXPECT_LT(answers.filled, kTargetsRequests);
            break;
        case Flood::compositorFlaps:
            break;
        case Flood::compositorFight: {
            // Once the key has come through, the fight goes on a moment longer.
            runUntil([] { return false; }, 1);
            const double seconds = stopFight();
            std::cout << "[ figures ] " << windowsMade << " windows made in " << seconds
                      << " s of fighting\n";
            // Each look (at the stacking, at the compositor's fading) shows a window or two; they
            // start once for the events read together, four times a second at most. Unbounded,
            // there were hundreds.
            EXPECT_LE(windowsMade, 4 * (static_cast<int>(seconds / 0.25) + 2));
            break;
        }
    }
    std::size_t compositorLines = 0;
    for (const auto& message : logs().messages()) {
        if (message.find("compositing manager") != std::string::npos) ++compositorLines;
    }
    EXPECT_LE(compositorLines, 5U);
}

std::string floodName(const ::testing::TestParamInfo<Flood>& info) {
    static const char* const names[] = {"multipleTargets", "targetsRequests", "compositorFlaps",
                                        "compositorFight"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Floods, X11FloodTest,
                         ::testing::Values(Flood::multipleTargets, Flood::targetsRequests,
                                           Flood::compositorFlaps, Flood::compositorFight),
                         floodName);

}  // namespace
}  // namespace talvori::testing
