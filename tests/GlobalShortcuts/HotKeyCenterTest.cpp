#include <gtest/gtest.h>

#include <thread>

#include "GlobalShortcuts/HotKey.hpp"
#include "GlobalShortcuts/HotKeyCenter.hpp"
#include "GlobalShortcutsTest.hpp"
#include "platform/desktop/MenuTracking.hpp"

namespace GlobalShortcuts {
namespace {

using talvori::HotKeyEvent;
using talvori::HotKeyEventKind;
using talvori::HotKeyEventResult;
using talvori::MenuTracking;
using Combination = talvori::sim::SimHotKeyService::Combination;

constexpr std::uint32_t kF = 3;
constexpr std::uint32_t kG = 5;
constexpr std::uint32_t kCommandShift = 0x300;

class HotKeyCenterTest : public testing::GlobalShortcutsTest {
  protected:
    HotKeyCenter& center() const { return HotKeyCenter::shared(); }

    // A hot key whose actions record "down <id>" and "up <id>".
    std::shared_ptr<HotKey> makeHotKey(std::int64_t keyCode, std::int64_t modifiers) {
        const auto id = center().nextHotKeyId();
        return std::make_shared<HotKey>(
            keyCode, modifiers, id, [this, id] { log.push_back("down " + std::to_string(id)); },
            [this, id] { log.push_back("up " + std::to_string(id)); });
    }

    void postMenuTracking(bool begins) const {
        talvori::platform().notificationCenter().post(
            begins ? MenuTracking::kDidBeginTrackingNotification
                   : MenuTracking::kDidEndTrackingNotification);
    }

    std::vector<std::string> log;
};

TEST_F(HotKeyCenterTest, ARegisteredHotKeyFiresOnPressAndRelease) {
    const auto hotKey = makeHotKey(kF, kCommandShift);
    EXPECT_EQ(hotKey->id, 1);
    ASSERT_TRUE(center().registerHotKey(hotKey));
    ASSERT_EQ(hotKeys().registrations().size(), 1u);
    EXPECT_EQ(hotKeys().registrations()[0].id, (talvori::HotKeyID{0x5251484B, 1}));
    EXPECT_TRUE(center().isHotKeyEventHandlingEnabled());
    EXPECT_FALSE(center().isRawKeyEventHandlingEnabled());

    EXPECT_TRUE(hotKeys().keyDown(kF, kCommandShift));
    EXPECT_TRUE(hotKeys().keyUp(kF));
    EXPECT_EQ(log, (std::vector<std::string>{"down 1", "up 1"}));
    EXPECT_EQ(hotKeys().handlerCount(), 1u);
}

TEST_F(HotKeyCenterTest, EventsItDoesNotOwnAreLeftForOthers) {
    const auto hotKey = makeHotKey(kF, kCommandShift);
    ASSERT_TRUE(center().registerHotKey(hotKey));
    EXPECT_EQ(hotKeys().deliver({HotKeyEventKind::pressed, {0x41424344, 1}}),
              HotKeyEventResult::notHandled);
    EXPECT_EQ(hotKeys().deliver({HotKeyEventKind::pressed, {HotKeyCenter::kSignature, 99}}),
              HotKeyEventResult::notHandled);
    EXPECT_EQ(hotKeys().deliver({HotKeyEventKind::released, {HotKeyCenter::kSignature, 1}}),
              HotKeyEventResult::handled);
    EXPECT_EQ(log, (std::vector<std::string>{"up 1"}));
}

TEST_F(HotKeyCenterTest, ARefusedHotKeyChangesNothing) {
    hotKeys().holdForOtherProgram({kF, kCommandShift});
    const auto hotKey = makeHotKey(kF, kCommandShift);
    EXPECT_FALSE(center().registerHotKey(hotKey));
    EXPECT_FALSE(hotKey->eventHotKeyRef);
    EXPECT_EQ(hotKeys().handlerCount(), 0u);
    EXPECT_FALSE(hotKeys().keyDown(kF, kCommandShift));
    EXPECT_TRUE(log.empty());
}

TEST_F(HotKeyCenterTest, ValuesThePlatformCannotTakeAreRefusedBeforeReachingIt) {
    for (const auto& [keyCode, modifiers] :
         std::vector<std::pair<std::int64_t, std::int64_t>>{{0x10000, 0},
                                                            {-1, 0},
                                                            {(std::int64_t{1} << 32) + 3, 0x100},
                                                            {3, std::int64_t{1} << 32},
                                                            {3, -1}}) {
        EXPECT_FALSE(center().registerHotKey(makeHotKey(keyCode, modifiers))) << keyCode;
    }
    EXPECT_TRUE(hotKeys().calls().empty());
}

TEST_F(HotKeyCenterTest, DisablingAndEnablingUnregistersAndRegistersEachLiveKeyOnce) {
    const auto f = makeHotKey(kF, kCommandShift);
    const auto g = makeHotKey(kG, 0x100);
    ASSERT_TRUE(center().registerHotKey(f));
    ASSERT_TRUE(center().registerHotKey(g));
    center().setEnabled(true);
    EXPECT_EQ(hotKeys().calls().size(), 2u);

    center().setEnabled(false);
    EXPECT_EQ(center().mode(), HotKeyCenter::Mode::disabled);
    EXPECT_TRUE(hotKeys().registrations().empty());
    EXPECT_FALSE(center().isHotKeyEventHandlingEnabled());
    center().setEnabled(true);
    EXPECT_EQ(center().mode(), HotKeyCenter::Mode::normal);
    for (const Combination combination : {Combination{kF, kCommandShift}, Combination{kG, 0x100}}) {
        EXPECT_EQ(hotKeys().registerCount(combination), 2u);
        EXPECT_EQ(hotKeys().unregisterCount(combination), 1u);
    }
    EXPECT_TRUE(hotKeys().keyDown(kG, 0x100));
    EXPECT_EQ(log, (std::vector<std::string>{"down 2"}));
}

TEST_F(HotKeyCenterTest, MenuTrackingSwitchesToWatchingKeysAndBack) {
    const auto f = makeHotKey(kF, kCommandShift);
    ASSERT_TRUE(center().registerHotKey(f));
    postMenuTracking(true);
    EXPECT_EQ(center().mode(), HotKeyCenter::Mode::menuOpen);
    EXPECT_TRUE(hotKeys().registrations().empty());
    EXPECT_TRUE(center().isRawKeyEventHandlingEnabled());
    EXPECT_FALSE(center().isHotKeyEventHandlingEnabled());

    // Registered while the menu is open: registered, then at once unregistered.
    const auto g = makeHotKey(kG, 0x100);
    ASSERT_TRUE(center().registerHotKey(g));
    EXPECT_EQ(hotKeys().registerCount({kG, 0x100}), 1u);
    EXPECT_EQ(hotKeys().unregisterCount({kG, 0x100}), 1u);

    postMenuTracking(false);
    EXPECT_EQ(center().mode(), HotKeyCenter::Mode::normal);
    EXPECT_EQ(hotKeys().registrations().size(), 2u);
    EXPECT_FALSE(center().isRawKeyEventHandlingEnabled());

    // While disabled, menus change nothing but the remembered state.
    center().setEnabled(false);
    const auto callsBefore = hotKeys().calls().size();
    postMenuTracking(true);
    EXPECT_EQ(center().mode(), HotKeyCenter::Mode::disabled);
    EXPECT_TRUE(center().isMenuOpen());
    postMenuTracking(false);
    EXPECT_EQ(hotKeys().calls().size(), callsBefore);
    // Enabled while a menu tracks: straight to watching keys.
    postMenuTracking(true);
    center().setEnabled(true);
    EXPECT_EQ(center().mode(), HotKeyCenter::Mode::menuOpen);
    EXPECT_TRUE(hotKeys().registrations().empty());
}

// A menu tracked on another thread still switches the centre, on the main thread, a turn later.
TEST_F(HotKeyCenterTest, MenuTrackingNoticedOffTheMainThreadIsAppliedOnTheMainThread) {
    const auto f = makeHotKey(kF, kCommandShift);
    ASSERT_TRUE(center().registerHotKey(f));
    std::thread([this] { postMenuTracking(true); }).join();
    EXPECT_EQ(center().mode(), HotKeyCenter::Mode::normal);
    runUntilIdle();
    EXPECT_EQ(center().mode(), HotKeyCenter::Mode::menuOpen);
    std::thread([this] { postMenuTracking(false); }).join();
    runUntilIdle();
    EXPECT_EQ(center().mode(), HotKeyCenter::Mode::normal);
    EXPECT_EQ(hotKeys().registrations().size(), 1u);
}

TEST_F(HotKeyCenterTest, AFailedReRegistrationDropsOnlyThatKeyAndTellsItsOwner) {
    auto f = makeHotKey(kF, kCommandShift);
    const auto g = makeHotKey(kG, 0x100);
    ASSERT_TRUE(center().registerHotKey(f));
    ASSERT_TRUE(center().registerHotKey(g));
    int failures = 0;
    // The owner drops its hot key in the callback, while the centre walks its hot keys.
    f->onRegistrationFailed = [&] {
        ++failures;
        f.reset();
    };
    center().setEnabled(false);
    hotKeys().holdForOtherProgram({kF, kCommandShift});
    center().setEnabled(true);
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(f);
    EXPECT_EQ(hotKeys().registrations().size(), 1u);
    EXPECT_TRUE(hotKeys().isRegistered({kG, 0x100}));
    // Gone from the centre: its old id is unknown now.
    EXPECT_EQ(hotKeys().deliver({HotKeyEventKind::pressed, {HotKeyCenter::kSignature, 1}}),
              HotKeyEventResult::notHandled);
}

TEST_F(HotKeyCenterTest, AHotKeyDroppedByItsOwnActionIsUnregisteredOnceAfterTheAction) {
    std::shared_ptr<HotKey> hotKey;
    bool registeredDuringAction = false;
    hotKey = std::make_shared<HotKey>(
        kF, kCommandShift, center().nextHotKeyId(),
        [&] {
            hotKey.reset();
            registeredDuringAction = hotKeys().isRegistered({kF, kCommandShift});
        },
        [] {});
    ASSERT_TRUE(center().registerHotKey(hotKey));
    EXPECT_TRUE(hotKeys().keyDown(kF, kCommandShift));
    EXPECT_TRUE(registeredDuringAction);
    EXPECT_FALSE(hotKeys().isRegistered({kF, kCommandShift}));
    EXPECT_EQ(hotKeys().unregisterCount({kF, kCommandShift}), 1u);
    // Its release finds nobody and is left alone.
    EXPECT_TRUE(hotKeys().keyUp(kF));
}

TEST_F(HotKeyCenterTest, WithoutAHandlerTheModeWaitsForALaterRegistration) {
    hotKeys().setHandlerInstallationFails(true);
    const auto f = makeHotKey(kF, kCommandShift);
    EXPECT_TRUE(center().registerHotKey(f));
    center().setEnabled(false);
    // No handler: the mode is stored but not applied.
    EXPECT_TRUE(hotKeys().isRegistered({kF, kCommandShift}));
    hotKeys().setHandlerInstallationFails(false);
    const auto g = makeHotKey(kG, 0x100);
    EXPECT_TRUE(center().registerHotKey(g));
    EXPECT_TRUE(hotKeys().registrations().empty());
    EXPECT_EQ(hotKeys().handlerCount(), 1u);
}

TEST_F(HotKeyCenterTest, SymbolicHotKeysAreTheEnabledOnes) {
    hotKeys().setSymbolicHotKeys({{true, 49, 0x100}, {false, 49, 0x900}, {true, 123, 0x1000}});
    EXPECT_EQ(center().symbolicHotKeys(),
              (std::vector<std::pair<std::int64_t, std::int64_t>>{{49, 0x100}, {123, 0x1000}}));
    hotKeys().setSymbolicHotKeysFail(true);
    EXPECT_TRUE(center().symbolicHotKeys().empty());
}

}  // namespace
}  // namespace GlobalShortcuts

namespace GlobalShortcuts {
namespace {

using talvori::ModifierFlags;
using talvori::sim::KeyDelivery;
using talvori::sim::KeyStroke;
using talvori::sim::SimWorld;

// While a menu of ours tracks, the hot keys are unregistered and the centre watches the keys our
// application receives.
class HotKeyCenterMenuTest : public HotKeyCenterTest {
  protected:
    HotKeyCenterMenuTest() { world().activateApplication(SimWorld::kOwnPID); }

    static KeyStroke stroke(std::uint16_t keyCode, std::uint64_t flags, bool repeat = false) {
        return {keyCode, "", "", flags, repeat};
    }
};

constexpr std::uint16_t kF5 = 96;
constexpr std::uint16_t kA = 0;
constexpr auto kCommandShiftFlags = ModifierFlags::command | ModifierFlags::shift;

TEST_F(HotKeyCenterMenuTest, KeysOfOurApplicationFireHotKeysAndGoOnToTheMenu) {
    const auto f = makeHotKey(kF, kCommandShift);
    ASSERT_TRUE(center().registerHotKey(f));
    postMenuTracking(true);

    EXPECT_EQ(input().keyDown(stroke(kF, kCommandShiftFlags | ModifierFlags::capsLock)),
              KeyDelivery::unhandled);
    // Holding the key fires nothing more.
    input().keyDown(stroke(kF, kCommandShiftFlags, true));
    // Command and Shift go first: the release of F still ends the press.
    input().keyUp(stroke(kF, 0));
    EXPECT_EQ(log, (std::vector<std::string>{"down 1", "up 1"}));
    // Other modifiers: nothing.
    input().typeKey(stroke(kF, ModifierFlags::command));
    EXPECT_EQ(log.size(), 2u);

    postMenuTracking(false);
    EXPECT_EQ(input().typeKey(stroke(kF, kCommandShiftFlags)), KeyDelivery::intercepted);
    EXPECT_EQ(log.size(), 4u);
}

TEST_F(HotKeyCenterMenuTest, FnCountsOnlyOnKeysWhereItMeansSomething) {
    const auto f5 = makeHotKey(kF5, 0x20100);
    const auto a = makeHotKey(kA, 0x20100);
    ASSERT_TRUE(center().registerHotKey(f5));
    ASSERT_TRUE(center().registerHotKey(a));
    postMenuTracking(true);
    input().typeKey(stroke(kF5, ModifierFlags::command));
    input().typeKey(stroke(kF5, ModifierFlags::command | ModifierFlags::function));
    input().typeKey(stroke(kA, ModifierFlags::command));
    EXPECT_EQ(log, (std::vector<std::string>{"down 1", "up 1", "down 1", "up 1"}));
    input().typeKey(stroke(kA, ModifierFlags::command | ModifierFlags::function));
    EXPECT_EQ(log.back(), "up 2");
}

TEST_F(HotKeyCenterMenuTest, WatchingStopsWithTheMenuAndWhileDisabled) {
    const auto f = makeHotKey(kF, kCommandShift);
    ASSERT_TRUE(center().registerHotKey(f));
    postMenuTracking(true);
    center().setEnabled(false);
    EXPECT_EQ(input().typeKey(stroke(kF, kCommandShiftFlags)), KeyDelivery::unhandled);
    EXPECT_TRUE(log.empty());
    center().setEnabled(true);
    input().typeKey(stroke(kF, kCommandShiftFlags));
    EXPECT_EQ(log.size(), 2u);
}

}  // namespace
}  // namespace GlobalShortcuts
