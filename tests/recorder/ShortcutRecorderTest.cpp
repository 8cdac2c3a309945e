#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "RecorderTest.hpp"
#include "platform/desktop/HotKeyService.hpp"
#include "recorder/ShortcutRecorder.hpp"
#include "recorder/TakenShortcuts.hpp"

namespace talvori::testing {
namespace {

using Phase = ShortcutRecorder::Phase;
using Glyphs = std::vector<std::string>;

class ShortcutRecorderTest : public RecorderTest {
  protected:
    ShortcutRecorderTest() {
        // The runtime listens to the three global names, so their hot keys are registered.
        for (const char* raw : {"toggleFocus", "showPanel", "newCover"}) {
            GlobalShortcuts::onKeyDown(appName(raw), [this, raw] { fired.push_back(raw); });
        }
    }

    std::shared_ptr<ShortcutRecorder> makeRecorder(const std::string& raw) {
        return std::make_shared<ShortcutRecorder>(appName(raw), [this] { ++changes; });
    }
    std::shared_ptr<ShortcutRecorder> recording(const std::string& raw) {
        auto recorder = makeRecorder(raw);
        recorder->startRecording();
        return recorder;
    }
    std::optional<Shortcut> stored(const std::string& raw) const {
        return GlobalShortcuts::getShortcut(appName(raw));
    }

    int changes = 0;
    std::vector<std::string> fired;
};

TEST_F(ShortcutRecorderTest, RecordingSilencesTheHotKeysUntilEscape) {
    ASSERT_TRUE(isRegistered(shiftCommandF));
    const auto recorder = recording("newCover");
    EXPECT_TRUE(recorder->isRecording.peek());
    EXPECT_EQ(ShortcutRecorder::active(), recorder);
    EXPECT_EQ(lastAnnouncement(), "Recording. Press a shortcut, or Escape to close.");
    EXPECT_FALSE(isRegistered(shiftCommandF));

    // A shortcut in use is judged, not fired: it belongs to another name.
    EXPECT_EQ(typeKey(Key::f, Flags::shift | Flags::command), sim::KeyDelivery::swallowed);
    EXPECT_TRUE(fired.empty());
    EXPECT_TRUE(std::holds_alternative<ShortcutRecorder::Conflict>(recorder->phase.peek()));

    // Escape with Caps Lock on still ends recording; the phase stays.
    EXPECT_EQ(typeKey(Key::escape, Flags::capsLock), sim::KeyDelivery::swallowed);
    EXPECT_FALSE(recorder->isRecording.peek());
    // The focus stays where it was: what Escape did is said.
    EXPECT_EQ(lastAnnouncement(), "Recording ended. New Cover: Alt Super N.");
    EXPECT_EQ(ShortcutRecorder::active(), nullptr);
    EXPECT_TRUE(std::holds_alternative<ShortcutRecorder::Conflict>(recorder->phase.peek()));
    EXPECT_TRUE(isRegistered(shiftCommandF));
    EXPECT_TRUE(type(shiftCommandF));
    EXPECT_EQ(fired, Glyphs{"toggleFocus"});
    // Keys pass again once recording ended.
    EXPECT_NE(typeKey(Key::a, Flags::command), sim::KeyDelivery::swallowed);
}

TEST_F(ShortcutRecorderTest, RulesRejectWithoutModifierReservedThenConflictInThatOrder) {
    const auto recorder = recording("toggleFocus");
    typeKey(Key::a, Flags::shift);
    EXPECT_EQ(recorder->phase.peek(), Phase(ShortcutRecorder::NeedsModifier{{"⇧", "A"}}));
    EXPECT_EQ(lastAnnouncement(), "Add Command, Option or Control.");
    typeKey(Key::returnKey);
    EXPECT_EQ(recorder->phase.peek(), Phase(ShortcutRecorder::NeedsModifier{{"↩"}}));
    typeKey(Key::escape, Flags::shift);
    EXPECT_TRUE(recorder->isRecording.peek());
    EXPECT_EQ(recorder->phase.peek(), Phase(ShortcutRecorder::NeedsModifier{{"⇧", "⎋"}}));

    // Reserved by the system and held by newCover: the system rule wins.
    simHotKeys().setSymbolicHotKeys({{true, Key::n.rawValue, optionCommandN.carbonModifiers}});
    typeKey(Key::n, Flags::option | Flags::command);
    EXPECT_EQ(recorder->phase.peek(), Phase(ShortcutRecorder::Reserved{{"⌥", "⌘", "N"}}));
    EXPECT_EQ(lastAnnouncement(),
              "Your desktop already uses this shortcut. Try a different combination.");
    simHotKeys().setSymbolicHotKeys({});
    typeKey(Key::n, Flags::option | Flags::command);
    EXPECT_EQ(recorder->phase.peek(),
              Phase(ShortcutRecorder::Conflict{appName("newCover"), "New Cover", optionCommandN}));
    EXPECT_EQ(lastAnnouncement(),
              "Already used by New Cover. Press Return to overwrite, or Escape to close.");
    EXPECT_EQ(recorder->attempt.peek(), 5);
    EXPECT_EQ(stored("toggleFocus"), shiftCommandF);
    EXPECT_EQ(changes, 0);
}

TEST_F(ShortcutRecorderTest, FunctionKeysArrowsAndTheGermanLayoutAreSaved) {
    const auto recorder = recording("toggleFocus");
    typeKey(Key::f5);
    EXPECT_EQ(stored("toggleFocus"), Shortcut(Key::f5, 0));
    EXPECT_EQ(lastAnnouncement(), "Saved, F5. Press Delete to remove it.");
    typeKey(Key::f5, Flags::shift | Flags::function);
    EXPECT_EQ(stored("toggleFocus"), Shortcut(Key::f5, Flags::shift));
    typeKey(Key::leftArrow, Flags::control | Flags::command);
    EXPECT_EQ(lastAnnouncement(), "Saved, Control Super Left Arrow. Press Delete to remove it.");

    layout().selectLayout(sim::SimKeyboardLayout::Layout::german);
    typeKey(Key::z, Flags::option | Flags::command);
    const Shortcut optionCommandY(Key::z, Flags::option | Flags::command);
    EXPECT_EQ(recorder->phase.peek(), Phase(ShortcutRecorder::Saved{optionCommandY}));
    EXPECT_EQ(recorder->current.peek(), optionCommandY);
    EXPECT_EQ(lastAnnouncement(), "Saved, Alt Super Y. Press Delete to remove it.");
    EXPECT_EQ(changes, 4);
    // Saving what the name already has saves again.
    typeKey(Key::z, Flags::option | Flags::command);
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(recorder->attempt.peek(), 5);
    EXPECT_TRUE(recorder->isRecording.peek());
}

TEST_F(ShortcutRecorderTest, RepeatsOfAHeldCombinationAreSwallowedWithoutJudging) {
    const auto recorder = recording("toggleFocus");
    typeKey(Key::k, Flags::option | Flags::command);
    const auto announced = announcements().size();
    EXPECT_EQ(typeKey(Key::k, Flags::option | Flags::command, true), sim::KeyDelivery::swallowed);
    EXPECT_EQ(typeKey(Key::x, 0, true), sim::KeyDelivery::swallowed);
    typeKey(Key::deleteKey);
    EXPECT_EQ(typeKey(Key::deleteKey, 0, true), sim::KeyDelivery::swallowed);
    EXPECT_EQ(recorder->attempt.peek(), 1);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(announcements().size(), announced + 1);
    EXPECT_EQ(lastAnnouncement(), "Toggle Focus Mode shortcut cleared.");
}

TEST_F(ShortcutRecorderTest, ReturnInAConflictOverwritesTheOtherNameOnce) {
    const auto recorder = recording("toggleFocus");
    typeKey(Key::n, Flags::option | Flags::command);
    typeKey(Key::returnKey);
    // The other name stays cleared rather than getting its default back.
    EXPECT_EQ(stored("newCover"), std::nullopt);
    EXPECT_EQ(platform().userDefaults().boolValue("GlobalShortcuts_newCover"), false);
    EXPECT_EQ(stored("toggleFocus"), optionCommandN);
    EXPECT_EQ(recorder->phase.peek(), Phase(ShortcutRecorder::Saved{optionCommandN}));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(lastAnnouncement(), "Saved, Alt Super N. Press Delete to remove it.");
    recorder->stopRecording();
    EXPECT_TRUE(type(optionCommandN));
    EXPECT_EQ(fired, Glyphs{"toggleFocus"});
}

TEST_F(ShortcutRecorderTest, AModifierPressInAConflictTurnsReturnBackIntoACandidate) {
    const auto recorder = recording("toggleFocus");
    typeKey(Key::n, Flags::option | Flags::command);
    hold(Flags::control);
    EXPECT_EQ(recorder->heldModifiers.peek(), Flags::control);
    EXPECT_EQ(recorder->phase.peek(), Phase(ShortcutRecorder::Waiting{}));
    hold(0);
    typeKey(Key::returnKey);
    EXPECT_TRUE(std::holds_alternative<ShortcutRecorder::NeedsModifier>(recorder->phase.peek()));
    EXPECT_EQ(stored("newCover"), optionCommandN);

    // Delete during a conflict clears this name, not the other.
    typeKey(Key::n, Flags::option | Flags::command);
    typeKey(Key::deleteForward);
    EXPECT_EQ(stored("toggleFocus"), std::nullopt);
    EXPECT_EQ(stored("newCover"), optionCommandN);
    EXPECT_EQ(recorder->phase.peek(), Phase(ShortcutRecorder::Waiting{}));
    EXPECT_TRUE(recorder->isRecording.peek());
}

TEST_F(ShortcutRecorderTest, OverwriteChecksAgainThatTheOtherNameStillHoldsTheShortcut) {
    const auto recorder = recording("toggleFocus");
    typeKey(Key::n, Flags::option | Flags::command);
    // Meanwhile newCover moves to another shortcut elsewhere.
    GlobalShortcuts::setShortcut(optionCommandK, appName("newCover"));
    typeKey(Key::returnKey);
    EXPECT_EQ(stored("newCover"), optionCommandK);
    EXPECT_EQ(stored("toggleFocus"), optionCommandN);

    // ...or takes this very shortcut from another name: the conflict names the new holder.
    typeKey(Key::k, Flags::option | Flags::command);
    EXPECT_TRUE(std::holds_alternative<ShortcutRecorder::Conflict>(recorder->phase.peek()));
    GlobalShortcuts::setShortcut(std::nullopt, appName("newCover"));
    GlobalShortcuts::setShortcut(optionCommandK, appName("lessBlur"));
    recorder->confirmOverwrite();
    EXPECT_EQ(recorder->phase.peek(),
              Phase(ShortcutRecorder::Conflict{appName("lessBlur"), "Less Blur", optionCommandK}));
    EXPECT_EQ(stored("lessBlur"), optionCommandK);
}

TEST_F(ShortcutRecorderTest, ADisplacedRecorderLeavesTheHotKeysOffWithoutRegisteringThem) {
    const auto first = recording("toggleFocus");
    const auto registrations = hotKeys().registerCount(combination(shiftCommandF));
    const auto second = recording("newCover");
    EXPECT_FALSE(first->isRecording.peek());
    EXPECT_EQ(ShortcutRecorder::active(), second);
    EXPECT_FALSE(GlobalShortcuts::isEnabled());
    EXPECT_EQ(hotKeys().registerCount(combination(shiftCommandF)), registrations);
    // The first one's monitor is gone: one key, one judgement.
    typeKey(Key::k, Flags::option | Flags::command);
    EXPECT_EQ(first->attempt.peek(), 0);
    EXPECT_EQ(second->attempt.peek(), 1);
    // A late stop of the displaced one changes nothing.
    first->stopRecording();
    EXPECT_FALSE(GlobalShortcuts::isEnabled());
    second->isRecording.set(false);
    second->stopRecording();
    EXPECT_TRUE(GlobalShortcuts::isEnabled());
    EXPECT_TRUE(isRegistered(shiftCommandF));
}

TEST_F(ShortcutRecorderTest, RecordingEndsWhenTheApplicationIsDeactivatedOrTheRecorderDropped) {
    auto recorder = recording("toggleFocus");
    const auto other = world().launchApplication("Editor", "org.example.editor");
    world().activateApplication(other);
    runUntilIdle();
    EXPECT_FALSE(recorder->isRecording.peek());
    EXPECT_TRUE(GlobalShortcuts::isEnabled());

    world().activateApplication(sim::SimWorld::kOwnPID);
    runUntilIdle();
    recorder->startRecording();
    recorder.reset();
    EXPECT_TRUE(GlobalShortcuts::isEnabled());
    EXPECT_EQ(ShortcutRecorder::active(), nullptr);
    EXPECT_TRUE(isRegistered(shiftCommandF));
    EXPECT_NE(typeKey(Key::k, Flags::option | Flags::command), sim::KeyDelivery::swallowed);
}

TEST_F(ShortcutRecorderTest, ClearingOutsideRecordingKeepsTheRecorderIdle) {
    const auto recorder = makeRecorder("newCover");
    EXPECT_EQ(recorder->title, "New Cover");
    EXPECT_EQ(recorder->current.peek(), optionCommandN);
    recorder->clear();
    EXPECT_FALSE(recorder->isRecording.peek());
    EXPECT_EQ(recorder->current.peek(), std::nullopt);
    EXPECT_EQ(lastAnnouncement(), "New Cover shortcut cleared.");
    GlobalShortcuts::reset({appName("newCover")});
    recorder->refresh();
    EXPECT_EQ(recorder->current.peek(), optionCommandN);
    // A name outside the seven is titled by its raw name and checked against all seven.
    const auto foreign = std::make_shared<ShortcutRecorder>(Name("scratch"), nullptr);
    EXPECT_EQ(foreign->title, "scratch");
    foreign->startRecording();
    typeKey(Key::f, Flags::shift | Flags::command);
    EXPECT_EQ(foreign->phase.peek(),
              Phase(ShortcutRecorder::Conflict{appName("toggleFocus"), "Toggle Focus Mode",
                                               shiftCommandF}));
}

// On a desktop that keeps no list of its shortcuts, a combination another program holds is found
// by asking for it; the keyboard is captured meanwhile, so that the combination reaches the
// recorder instead of firing the desktop's action.
TEST_F(ShortcutRecorderTest, ACombinationTheDesktopHoldsIsRefusedWhileTheKeyboardIsCaptured) {
    const Shortcut controlOptionLeft{Key::leftArrow, Flags::control | Flags::option};
    hotKeys().holdForOtherProgram(combination(controlOptionLeft));
    const auto recorder = recording("newCover");
    EXPECT_TRUE(hotKeys().isKeyboardCaptured());
    hold(Flags::control | Flags::option);
    typeKey(Key::leftArrow, Flags::control | Flags::option);
    EXPECT_EQ(recorder->phase.peek(), Phase(ShortcutRecorder::Reserved{{"⌃", "⌥", "←"}}));
    EXPECT_EQ(lastAnnouncement(),
              "Your desktop already uses this shortcut. Try a different combination.");
    EXPECT_EQ(stored("newCover"), optionCommandN);
    EXPECT_EQ(changes, 0);
    hold(0);
    EXPECT_EQ(recorder->heldModifiers.peek(), 0u);

    typeKey(Key::escape);
    EXPECT_FALSE(hotKeys().isKeyboardCaptured());
    // A displaced recorder leaves the capture to the one that records.
    const auto first = recording("newCover");
    const auto second = recording("toggleFocus");
    EXPECT_TRUE(hotKeys().isKeyboardCaptured());
    first->stopRecording();
    EXPECT_TRUE(hotKeys().isKeyboardCaptured());
    typeKey(Key::escape);
    EXPECT_FALSE(hotKeys().isKeyboardCaptured());
}

TEST_F(ShortcutRecorderTest, AStoredShortcutTheDesktopHoldsShowsTakenOnceUntilAnotherIsRecorded) {
    hotKeys().holdForOtherProgram(combination(optionCommandK));
    GlobalShortcuts::setShortcut(optionCommandK, appName("newCover"));
    EXPECT_FALSE(GlobalShortcuts::isEnabled(appName("newCover")));
    const auto recorder = makeRecorder("newCover");
    EXPECT_TRUE(recorder->currentIsTaken.peek());
    // Registered by this program, a shortcut is not taken, and asking leaves it registered.
    EXPECT_FALSE(makeRecorder("toggleFocus")->currentIsTaken.peek());
    EXPECT_TRUE(isRegistered(shiftCommandF));

    EXPECT_EQ(takenShortcutsNotice(),
              "Your desktop already uses the New Cover shortcut. Record another one in Settings, "
              "under Shortcuts.");
    // A name that is not listening (More Blur while Focus is off) is asked as well.
    hotKeys().holdForOtherProgram(
        combination(Shortcut{Key::upArrow, Flags::control | Flags::option | Flags::command}));
    EXPECT_EQ(takenShortcutsNotice(),
              "Your desktop already uses the New Cover and More Blur "
              "shortcuts. Record others in Settings, under Shortcuts.");

    recorder->startRecording();
    typeKey(Key::j, Flags::option | Flags::command);
    EXPECT_FALSE(recorder->currentIsTaken.peek());
    recorder->clear();
    EXPECT_FALSE(recorder->currentIsTaken.peek());
}

}  // namespace
}  // namespace talvori::testing
