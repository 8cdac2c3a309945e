#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/HotKeyModifiers.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "recorder/ShortcutRecorder.hpp"

namespace talvori::testing {
namespace {

using Key = X11TestDriver::Key;

// Bits of the test server's modifier map: Lock, Mod1 (Alt), Mod2 (Num Lock), Mod4 (Super).
constexpr std::uint16_t kShift = XCB_MOD_MASK_SHIFT;
constexpr std::uint16_t kLock = XCB_MOD_MASK_LOCK;
constexpr std::uint16_t kControl = XCB_MOD_MASK_CONTROL;
constexpr std::uint16_t kAlt = XCB_MOD_MASK_1;
constexpr std::uint16_t kNumLock = XCB_MOD_MASK_2;
constexpr std::uint16_t kSuper = XCB_MOD_MASK_4;

constexpr std::uint32_t kCommand = HotKeyModifiers::command;
constexpr std::uint32_t kShiftCommand = HotKeyModifiers::shift | HotKeyModifiers::command;
constexpr std::uint32_t kOptionCommand = HotKeyModifiers::option | HotKeyModifiers::command;
constexpr std::uint32_t kControlOptionCommand =
    HotKeyModifiers::control | HotKeyModifiers::option | HotKeyModifiers::command;

struct Default {
    const char* name;
    std::uint16_t keyCode;
    std::uint32_t modifiers;
    std::uint8_t key;
    std::uint16_t x11Modifiers;
};

// The seven shortcuts as the program declares them, with the keys and bits they become on X11.
const Default kDefaults[] = {
    {"toggleFocus", 3, kShiftCommand, Key::kF, kShift | kSuper},
    {"showPanel", 2, kShiftCommand, 32, kShift | kSuper},
    {"newCover", 45, kOptionCommand, Key::kN, kAlt | kSuper},
    {"strongerFocus", 126, kOptionCommand, Key::kUp, kAlt | kSuper},
    {"weakerFocus", 125, kOptionCommand, 108, kAlt | kSuper},
    {"moreBlur", 126, kControlOptionCommand, Key::kUp, kControl | kAlt | kSuper},
    {"lessBlur", 125, kControlOptionCommand, 108, kControl | kAlt | kSuper},
};

class X11ShortcutsTest : public X11DesktopTest {
  protected:
    GlobalShortcuts::Name name(const Default& entry) const {
        return GlobalShortcuts::Name(entry.name,
                                     GlobalShortcuts::Shortcut(entry.keyCode, entry.modifiers));
    }
    void listen(const Default& entry) {
        GlobalShortcuts::onKeyDown(name(entry), [this, entry] { fired.push_back(entry.name); });
    }
    // Whether another program could take the combination with every lock state: false when
    // each of them is held (by us).
    bool heldWithEveryLock(std::uint8_t key, std::uint16_t modifiers) {
        for (const int lock : {0, kLock | 0, kNumLock | 0, kLock | kNumLock}) {
            const auto combination = static_cast<std::uint16_t>(modifiers | lock);
            if (driver().grabKey(key, combination)) {
                driver().ungrabKey(key, combination);
                return false;
            }
        }
        return true;
    }
    bool firesOn(const char* expected, std::uint8_t key, std::vector<std::uint8_t> modifiers) {
        fired.clear();
        driver().tap(key, modifiers);
        return runUntil([&] { return fired.size() == 1 && fired.front() == expected; }, 2);
    }

    std::vector<std::string> fired;
};

TEST_F(X11ShortcutsTest, TheSevenDefaultsAreGrabbedWithEveryLockFireAndAreReleasedWhenDisabled) {
    for (const auto& entry : kDefaults) listen(entry);
    for (const auto& entry : kDefaults) {
        EXPECT_TRUE(GlobalShortcuts::isEnabled(name(entry))) << entry.name;
        EXPECT_TRUE(heldWithEveryLock(entry.key, entry.x11Modifiers)) << entry.name;
    }
    EXPECT_TRUE(firesOn("toggleFocus", Key::kF, {Key::kLeftShift, Key::kLeftSuper}));
    EXPECT_TRUE(firesOn("newCover", Key::kN, {Key::kLeftAlt, Key::kLeftSuper}));
    EXPECT_TRUE(firesOn("moreBlur", Key::kUp, {Key::kLeftControl, Key::kLeftAlt, Key::kLeftSuper}));
    // Caps Lock on changes nothing.
    driver().tap(Key::kCapsLock);
    EXPECT_TRUE(firesOn("strongerFocus", Key::kUp, {Key::kLeftAlt, Key::kLeftSuper}));
    driver().tap(Key::kCapsLock);
    // Control-Super-F is no shortcut of ours.
    fired.clear();
    driver().tap(Key::kF, {Key::kLeftControl, Key::kLeftSuper});
    catchUp();
    EXPECT_TRUE(fired.empty());

    GlobalShortcuts::disable({name(kDefaults[0])});
    catchUp();
    EXPECT_TRUE(driver().grabKey(Key::kF, kShift | kSuper));
    driver().ungrabKey(Key::kF, kShift | kSuper);
    GlobalShortcuts::enable({name(kDefaults[0])});
    EXPECT_TRUE(heldWithEveryLock(Key::kF, kShift | kSuper));
}

TEST_F(X11ShortcutsTest, ACombinationAnotherProgramHoldsIsReportedTaken) {
    ASSERT_TRUE(driver().grabKey(Key::kN, kAlt | kSuper | kNumLock));
    const GlobalShortcuts::Name newCover = name(kDefaults[2]);
    GlobalShortcuts::onKeyDown(newCover, [] {});
    EXPECT_FALSE(GlobalShortcuts::isEnabled(newCover));
    // Nothing of the refused combination stays grabbed.
    catchUp();
    EXPECT_TRUE(driver().grabKey(Key::kN, kAlt | kSuper));
    const auto refused = platform().hotKeyService().registerHotKey(45, kOptionCommand, {1, 1});
    EXPECT_FALSE(refused);
    EXPECT_TRUE(platform().hotKeyService().registerHotKey(45, kCommand, {1, 2}));
}

// Super is looked up in the server's modifier map: moved to another bit, the grabs move with it.
TEST_F(X11ShortcutsTest, GrabsFollowTheModifierMap) {
    listen(kDefaults[0]);
    constexpr std::uint16_t kMod3 = XCB_MOD_MASK_3;
    ASSERT_TRUE(driver().moveModifierKey(Key::kLeftSuper, 5));
    ASSERT_TRUE(driver().moveModifierKey(Key::kRightSuper, 5));
    EXPECT_TRUE(runUntil([&] { return heldWithEveryLock(Key::kF, kShift | kMod3); }));
    EXPECT_TRUE(driver().grabKey(Key::kF, kShift | kSuper));
    driver().ungrabKey(Key::kF, kShift | kSuper);
    EXPECT_TRUE(firesOn("toggleFocus", Key::kF, {Key::kLeftShift, Key::kLeftSuper}));
}

TEST_F(X11ShortcutsTest, ShortcutsAndKeyNamesFollowAKeyboardLayoutChange) {
    listen(kDefaults[0]);
    auto& layout = platform().keyboardLayout();
    EXPECT_EQ(layout.characters(16), "y");
    EXPECT_EQ(layout.characters(6), "z");
    ASSERT_EQ(session().run({"setxkbmap", "de"}), 0);
    EXPECT_TRUE(runUntil([&] { return layout.characters(16) == "z"; }));
    EXPECT_EQ(layout.characters(6), "y");
    // A dead key types nothing by itself.
    EXPECT_EQ(layout.characters(24), "");
    // The shortcut stays on its key, and the modifiers stay found.
    EXPECT_TRUE(firesOn("toggleFocus", Key::kF, {Key::kLeftShift, Key::kLeftSuper}));
    // With a non-Latin layout selected, the names come from the Latin one.
    ASSERT_EQ(session().run({"setxkbmap", "-layout", "ru,us"}), 0);
    EXPECT_TRUE(runUntil([&] { return layout.characters(16) == "y"; }));
    EXPECT_EQ(layout.characters(0), "a");
}

// The window manager holds Ctrl+Alt+Right (switch to the next desktop) and another program Ctrl+
// Alt+K: recorded in a managed window the window manager focused, both reach the recorder and are
// refused, without switching desktops; the modifiers let go show as released.
TEST_F(X11ShortcutsTest, TheRecorderRefusesWhatTheDesktopAndOtherProgramsHoldWithoutFiringIt) {
    constexpr std::uint8_t kK = 37;
    constexpr std::uint8_t kRight = Key::kRight;
    constexpr std::uint32_t kControlOption = HotKeyModifiers::control | HotKeyModifiers::option;
    ASSERT_TRUE(driver().grabKey(kK, kControl | kAlt));
    listen(kDefaults[2]);
    const auto window = platform().application().makePanel(Rect(200, 200, 300, 200),
                                                           StyleMask::titled | StyleMask::closable);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(runUntil([&] { return window->isKeyWindow(); }));
    const auto currentDesktop = [&] {
        return driver().cardinals(driver().root(), "_NET_CURRENT_DESKTOP");
    };
    const auto firstDesktop = currentDesktop();

    // Asking whether our own hot key is taken leaves it grabbed.
    const auto recorder = std::make_shared<ShortcutRecorder>(name(kDefaults[2]), nullptr);
    EXPECT_FALSE(recorder->currentIsTaken.peek());
    EXPECT_TRUE(heldWithEveryLock(Key::kN, kAlt | kSuper));

    recorder->startRecording();
    const auto refused = [&](std::vector<std::string> caps) {
        return runUntil([&] {
            return recorder->phase.peek() ==
                       ShortcutRecorder::Phase(ShortcutRecorder::Reserved{caps}) &&
                   recorder->heldModifiers.peek() == 0;
        });
    };
    driver().tap(kRight, {Key::kLeftControl, Key::kLeftAlt});
    EXPECT_TRUE(refused({"Ctrl", "Alt", "Right"})) << "named as this desktop names them";
    EXPECT_EQ(currentDesktop(), firstDesktop);
    driver().tap(kK, {Key::kLeftControl, Key::kLeftAlt});
    EXPECT_TRUE(refused({"Ctrl", "Alt", "K"}));
    EXPECT_FALSE(driver().tookKeyPress(kK));
    EXPECT_EQ(GlobalShortcuts::getShortcut(name(kDefaults[2])), name(kDefaults[2]).initialShortcut);

    // Once recording ends, the keys go to their holders again, and our hot key is back.
    driver().tap(Key::kEscape);
    ASSERT_TRUE(runUntil([&] { return !recorder->isRecording.peek(); }));
    EXPECT_TRUE(heldWithEveryLock(Key::kN, kAlt | kSuper));
    driver().tap(kK, {Key::kLeftControl, Key::kLeftAlt});
    EXPECT_TRUE(runUntil([&] { return driver().tookKeyPress(kK); }));

    // Stored, the held combination is refused and shows as taken.
    GlobalShortcuts::setShortcut(GlobalShortcuts::Shortcut(40, kControlOption), name(kDefaults[2]));
    EXPECT_FALSE(GlobalShortcuts::isEnabled(name(kDefaults[2])));
    EXPECT_TRUE(
        std::make_shared<ShortcutRecorder>(name(kDefaults[2]), nullptr)->currentIsTaken.peek());
}

}  // namespace
}  // namespace talvori::testing
