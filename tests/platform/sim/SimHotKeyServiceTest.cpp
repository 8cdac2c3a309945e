#include <gtest/gtest.h>

#include <vector>

#include "platform/sim/SimHotKeyService.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori::sim {
namespace {

constexpr std::uint32_t kSignature = 0x5251484B;
constexpr std::uint32_t kCommandShift = 0x300;
constexpr std::uint32_t kF = 3;

class SimHotKeyServiceTest : public ::testing::Test {
  protected:
    HotKeyHandlerRef installRecordingHandler(
        HotKeyEventResult answer = HotKeyEventResult::handled) {
        auto handler = service.installEventHandler([this, answer](const HotKeyEvent& event) {
            events.push_back(event);
            return answer;
        });
        service.setHandlerEnabled(*handler, true);
        return *handler;
    }

    SimHotKeyService service;
    std::vector<HotKeyEvent> events;
};

TEST_F(SimHotKeyServiceTest, ARegisteredCombinationBecomesPressedAndReleasedEvents) {
    installRecordingHandler();
    const auto ref = service.registerHotKey(kF, kCommandShift, {kSignature, 7});
    ASSERT_TRUE(ref);
    EXPECT_TRUE(service.keyDown(kF, kCommandShift));
    // Repeats of the held key are consumed and give nothing.
    EXPECT_TRUE(service.keyDown(kF, kCommandShift, /*isRepeat=*/true));
    // Releasing Command before F still ends the press of F.
    EXPECT_TRUE(service.keyUp(kF));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, HotKeyEventKind::pressed);
    EXPECT_EQ(events[1].kind, HotKeyEventKind::released);
    EXPECT_EQ(events[1].hotKeyID, (HotKeyID{kSignature, 7}));

    // Other modifiers, or none, are ordinary keys.
    EXPECT_FALSE(service.keyDown(kF, 0x100));
    EXPECT_FALSE(service.keyUp(kF));
    service.unregisterHotKey(*ref);
    EXPECT_FALSE(service.keyDown(kF, kCommandShift));
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(SimHotKeyServiceTest, TakenCombinationsAreRefused) {
    service.holdForOtherProgram({kF, kCommandShift});
    EXPECT_FALSE(service.registerHotKey(kF, kCommandShift, {kSignature, 1}));
    service.releaseFromOtherProgram({kF, kCommandShift});
    EXPECT_TRUE(service.registerHotKey(kF, kCommandShift, {kSignature, 2}));
    // Registering one combination twice fails as well, even for the same program.
    EXPECT_FALSE(service.registerHotKey(kF, kCommandShift, {kSignature, 3}));
    service.setRefusesRegistrations(true);
    EXPECT_FALSE(service.registerHotKey(kF, 0x100, {kSignature, 4}));
    EXPECT_EQ(service.registerCount({kF, kCommandShift}), 1u);
    EXPECT_EQ(service.registrations().size(), 1u);
    EXPECT_EQ(service.calls().size(), 4u);
}

TEST_F(SimHotKeyServiceTest, HandlersSeeEventsOnlyWhileEnabledAndInOrderUntilOneHandlesIt) {
    int firstCalls = 0;
    auto first = service.installEventHandler([&](const HotKeyEvent&) {
        ++firstCalls;
        return HotKeyEventResult::notHandled;
    });
    const auto second = installRecordingHandler();
    const HotKeyEvent event{HotKeyEventKind::pressed, {kSignature, 1}};
    EXPECT_EQ(service.deliver(event), HotKeyEventResult::handled);
    EXPECT_EQ(firstCalls, 0);
    service.setHandlerEnabled(*first, true);
    service.setHandlerEnabled(second, false);
    EXPECT_EQ(service.deliver(event), HotKeyEventResult::notHandled);
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(events.size(), 1u);

    service.setHandlerInstallationFails(true);
    EXPECT_FALSE(
        service.installEventHandler([](const HotKeyEvent&) { return HotKeyEventResult::handled; }));
}

TEST_F(SimHotKeyServiceTest, SystemShortcutsCanBeSetAndMadeUnreadable) {
    EXPECT_EQ(service.symbolicHotKeys()->size(), 0u);
    service.setSymbolicHotKeys({{true, 49, 0x100}, {false, 49, 0x900}});
    EXPECT_EQ(service.symbolicHotKeys()->size(), 2u);
    service.setSymbolicHotKeysFail(true);
    EXPECT_FALSE(service.symbolicHotKeys());
}

}  // namespace
}  // namespace talvori::sim

namespace talvori::sim {
namespace {

class SimKeyboardHotKeyTest : public testing::SimDesktopTest {};

TEST_F(SimKeyboardHotKeyTest, TheKeyboardTurnsRegisteredCombinationsIntoHotKeyEvents) {
    auto& service = platform().hotKeyService();
    std::vector<HotKeyEventKind> kinds;
    const auto handler = service.installEventHandler([&](const HotKeyEvent& event) {
        kinds.push_back(event.kind);
        return HotKeyEventResult::handled;
    });
    service.setHandlerEnabled(*handler, true);
    ASSERT_TRUE(service.registerHotKey(kF, kCommandShift, {kSignature, 1}));
    const auto commandShiftF = KeyStroke::key(
        kF, "f", ModifierFlags::command | ModifierFlags::shift | ModifierFlags::capsLock);

    EXPECT_EQ(input().keyDown(commandShiftF), KeyDelivery::intercepted);
    EXPECT_EQ(input().keyDown({kF, "f", "f", commandShiftF.modifierFlags, true}),
              KeyDelivery::intercepted);
    // The modifiers go first; the release of F still ends the press.
    EXPECT_EQ(input().keyUp(KeyStroke::key(kF, "f")), KeyDelivery::intercepted);
    EXPECT_EQ(kinds,
              (std::vector<HotKeyEventKind>{HotKeyEventKind::pressed, HotKeyEventKind::released}));

    // Not registered: an ordinary key for whoever has the keyboard.
    EXPECT_NE(input().typeKey(KeyStroke::key(kF, "f", ModifierFlags::command)),
              KeyDelivery::intercepted);
    EXPECT_EQ(kinds.size(), 2u);
    EXPECT_EQ(&platform().keyboardLayout(), &desktop().keyboardLayout());
}

}  // namespace
}  // namespace talvori::sim
