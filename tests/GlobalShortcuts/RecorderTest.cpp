#include "GlobalShortcuts/Recorder.hpp"
#include "LibraryRecorderTest.hpp"

namespace GlobalShortcuts::testing {
namespace {

using talvori::Observable;
using talvori::ui::Binding;

class RecorderTest : public LibraryRecorderTest {
  protected:
    // The caller's view: its own shortcut value or a name, a policy, and a change log.
    void showBound() {
        show([this] {
            talvori::ui::View recorder =
                useBinding() ? talvori::ui::View(Recorder(
                                   "Shortcut", Binding<std::optional<Shortcut>>(value),
                                   [this](const std::optional<Shortcut>& shortcut) {
                                       log.push_back(value.peek() == shortcut ? "bound, then told"
                                                                              : "told first");
                                   }))
                             : talvori::ui::View(Recorder("Shortcut", name));
            return globalShortcutsConflictPolicy(recorder, policy());
        });
    }
    bool useBinding() const { return usesBinding(); }

    Observable<std::optional<Shortcut>> value{Shortcut(Key::j, Flags::control | Flags::command)};
    Observable<bool> usesBinding{true};
    Observable<ConflictPolicy> policy{ConflictPolicy::defaultPolicy};
    std::vector<std::string> log;
};

TEST_F(RecorderTest, ABoundValueIsShownWrittenFirstAndCleared) {
    showBound();
    EXPECT_TRUE(shows("Shortcut"));
    EXPECT_TRUE(shows("⌃⌘J"));
    // A screen reader names the field by the label beside it.
    EXPECT_EQ(field().accessibilityElement()->label, "Shortcut");
    // The caller changes the value: shown, not reported back.
    value.set(optionCommandK);
    settle();
    EXPECT_TRUE(shows("⌥⌘K"));
    EXPECT_TRUE(log.empty());

    clickField();
    press(Key::l, Flags::option | Flags::command);
    EXPECT_EQ(value.peek(), Shortcut(Key::l, Flags::option | Flags::command));
    clickField();
    press(Key::deleteKey);
    EXPECT_EQ(value.peek(), std::nullopt);
    EXPECT_EQ(log, (std::vector<std::string>{"bound, then told", "bound, then told"}));
    // The library's storage is not the bound value's.
    EXPECT_EQ(getShortcut(name), name.initialShortcut);
    setShortcut(optionCommandK, name);
    settle();
    EXPECT_FALSE(shows("⌥⌘K"));
}

TEST_F(RecorderTest, AChangeOfSourceKindMakesAFreshFieldThatKeepsStorageApart) {
    usesBinding.set(false);
    showBound();
    EXPECT_TRUE(shows("⇧⌘F"));
    usesBinding.set(true);
    settle();
    EXPECT_TRUE(shows("⌃⌘J"));
    EXPECT_EQ(getShortcut(name), name.initialShortcut);
    // And back: the name's field follows the store again.
    usesBinding.set(false);
    settle();
    setShortcut(optionCommandK, name);
    settle();
    EXPECT_TRUE(shows("⌥⌘K"));
}

TEST_F(RecorderTest, TheEnvironmentsPolicyReachesAFieldMadeEarlier) {
    reserve(optionCommandK);
    showBound();
    policy.set(ConflictPolicy::allowAll);
    settle();
    clickField();
    press(Key::k, Flags::option | Flags::command);
    EXPECT_TRUE(alerts().records().empty());
    EXPECT_EQ(value.peek(), optionCommandK);
}

}  // namespace
}  // namespace GlobalShortcuts::testing
