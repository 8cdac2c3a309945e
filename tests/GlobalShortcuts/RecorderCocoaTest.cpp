#include "GlobalShortcuts/RecorderCocoa.hpp"
#include "LibraryRecorderTest.hpp"
#include "platform/desktop/KeyboardLayout.hpp"
#include "platform/desktop/Menu.hpp"
#include "platform/desktop/MenuItem.hpp"
#include "platform/sim/ScreenPicture.hpp"

namespace GlobalShortcuts::testing {
namespace {

using talvori::sim::KeyDelivery;

class RecorderCocoaTest : public LibraryRecorderTest {
  protected:
    RecorderCocoaTest() {
        show([this] {
            return Recorder(name, [this](const std::optional<Shortcut>& shortcut) {
                changes.push_back(shortcut);
            });
        });
    }

    std::vector<std::optional<Shortcut>> changes;
};

TEST_F(RecorderCocoaTest, AClickRecordsWithTheHotKeysPausedAndAComboIsStored) {
    EXPECT_TRUE(shows("⇧⌘F"));
    clickField();
    ASSERT_TRUE(isRecording());
    EXPECT_TRUE(isPaused());
    EXPECT_EQ(window->firstResponder(), RecorderCocoa::activeRecorder());
    EXPECT_EQ(activity, std::vector<bool>{true});
    // Every key goes to the field, the name's own shortcut too.
    EXPECT_EQ(press(Key::f, Flags::shift | Flags::command), KeyDelivery::swallowed);
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(isRecording());
    EXPECT_EQ(changes.size(), 1u);

    clickField();
    EXPECT_EQ(press(Key::k, Flags::option | Flags::command | Flags::capsLock),
              KeyDelivery::swallowed);
    EXPECT_EQ(getShortcut(name), optionCommandK);
    EXPECT_EQ(changes.back(), optionCommandK);
    EXPECT_TRUE(shows("⌥⌘K"));
    EXPECT_FALSE(isRecording());
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(window->firstResponder(), nullptr);
    EXPECT_EQ(activity, (std::vector<bool>{true, false, true, false}));
    EXPECT_TRUE(type(optionCommandK));
    EXPECT_EQ(fired, 1);
}

TEST_F(RecorderCocoaTest, KeysWithoutARealModifierStayOutExceptFunctionKeys) {
    clickField();
    for (const auto flags : {std::uint64_t{0}, std::uint64_t{Flags::shift}}) {
        EXPECT_EQ(press(Key::a, flags), KeyDelivery::swallowed);
    }
    EXPECT_TRUE(isRecording());
    EXPECT_TRUE(changes.empty());
    // Held down, a combination is judged once.
    EXPECT_EQ(press(Key::f5, Flags::function, true), KeyDelivery::swallowed);
    EXPECT_TRUE(isRecording());
    press(Key::f5, Flags::function);
    EXPECT_EQ(getShortcut(name), Shortcut(Key::f5, 0));
    EXPECT_TRUE(shows("F5"));
}

TEST_F(RecorderCocoaTest, EscapeTabAndDeleteAreTheFieldsOwnKeys) {
    clickField();
    EXPECT_EQ(press(Key::escape), KeyDelivery::swallowed);
    EXPECT_FALSE(isRecording());
    EXPECT_EQ(getShortcut(name), name.initialShortcut);

    clickField();
    // Tab ends recording and goes on to the window, which moves the focus.
    EXPECT_NE(press(Key::tab), KeyDelivery::swallowed);
    EXPECT_FALSE(isRecording());

    clickField();
    EXPECT_EQ(press(Key::deleteKey), KeyDelivery::swallowed);
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_EQ(changes, std::vector<std::optional<Shortcut>>{std::nullopt});
    EXPECT_TRUE(isRecording());
    EXPECT_TRUE(shows("Press Shortcut"));
    // Nothing left to clear: swallowed, nothing told.
    EXPECT_EQ(press(Key::deleteForward), KeyDelivery::swallowed);
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_TRUE(isRecording());
}

TEST_F(RecorderCocoaTest, ClicksBeyondTheEdgeEndRecordingAndStillAct) {
    const auto frame = field().frame();
    clickField();
    clickAt({frame.maxX() + 2.5, frame.midY()});
    EXPECT_TRUE(isRecording());
    clickAt({frame.maxX() + 4, frame.midY()});
    EXPECT_FALSE(isRecording());

    clickField();
    const auto other = host().find(talvori::ui::Query::byText("Other")).frame();
    clickAt({other.midX(), other.midY()});
    EXPECT_FALSE(isRecording());
    EXPECT_EQ(otherPresses, 1);
}

TEST_F(RecorderCocoaTest, AClickInAnotherOfOurWindowsCountsAsOutside) {
    // A panel that does not take key status, right over the field's own window: the click lies
    // where the field is, but in another window.
    auto panel = makePanel(window->frame());
    panel->setCanBecomeKey(false);
    clickField();
    panel->setLevel(window->level() + 1);
    panel->orderFront();
    ASSERT_TRUE(isRecording());
    const auto frame = field().frame();
    input().click(global({frame.midX(), frame.midY()}));
    settle();
    EXPECT_FALSE(isRecording());
    EXPECT_FALSE(isPaused());
}

TEST_F(RecorderCocoaTest, AShortcutTheDesktopHoldsIsWarnedAboutAndTakenOnlyWhenForced) {
    // Held by another program, as the application's own recorder finds it.
    hotKeys().holdForOtherProgram(combination(optionCommandK));
    clickField();
    alerts().scriptAnswer(talvori::Alert::kFirstButtonReturn);
    press(Key::k, Flags::option | Flags::command);
    ASSERT_EQ(alerts().records().size(), 1u);
    const auto& shown = alerts().records().back();
    EXPECT_EQ(shown.alert.messageText, "This keyboard shortcut is already used by your desktop.");
    EXPECT_EQ(shown.alert.buttons, (std::vector<std::string>{"OK", "Use Anyway"}));
    EXPECT_TRUE(shown.isSheet);
    EXPECT_EQ(getShortcut(name), name.initialShortcut);
    // Recording goes on after the answer.
    EXPECT_TRUE(isRecording());

    alerts().scriptAnswer(talvori::Alert::kSecondButtonReturn);
    press(Key::k, Flags::option | Flags::command);
    EXPECT_EQ(getShortcut(name), optionCommandK);
    EXPECT_EQ(changes.back(), optionCommandK);
    EXPECT_FALSE(isRecording());
}

TEST_F(RecorderCocoaTest, ABlockedOrDisallowedShortcutIsRefusedWithOneButton) {
    RecorderCocoa::activeRecorder();
    reserve(optionCommandK);
    clickField();
    auto field = RecorderCocoa::activeRecorder();
    field->conflictPolicy.systemShortcut = ConflictBehavior::block;
    field->validateShortcut = [](const Shortcut& shortcut) {
        return shortcut.carbonKeyCode == Key::j.rawValue ? ValidationResult::disallow("Not J")
                                                         : ValidationResult::allow();
    };
    alerts().scriptAnswers(
        {talvori::Alert::kFirstButtonReturn, talvori::Alert::kFirstButtonReturn});
    press(Key::k, Flags::option | Flags::command);
    press(Key::j, Flags::option | Flags::command);
    ASSERT_EQ(alerts().records().size(), 2u);
    EXPECT_TRUE(alerts().records()[0].alert.buttons.empty());
    EXPECT_EQ(alerts().records()[1].alert.messageText, "Not J");
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(isRecording());

    // Allowed: no alert at all; plain F12 is never the system's.
    field->conflictPolicy = ConflictPolicy::allowAll;
    press(Key::k, Flags::option | Flags::command);
    EXPECT_EQ(getShortcut(name), optionCommandK);
    reserve(Shortcut(Key::f12, 0));
    field->conflictPolicy = ConflictPolicy::defaultPolicy;
    clickField();
    press(Key::f12);
    EXPECT_EQ(getShortcut(name), Shortcut(Key::f12, 0));
    EXPECT_EQ(alerts().records().size(), 2u);
}

TEST_F(RecorderCocoaTest, ScreenReadersHearItsNameValueAndWhatHappens) {
    const auto element = field().accessibilityElement();
    ASSERT_TRUE(element);
    EXPECT_EQ(element->label, "Record Shortcut");
    EXPECT_EQ(element->value, "Shift Super F");
    EXPECT_EQ(element->hint, RecorderCocoa::kAccessibilityHint);
    EXPECT_TRUE(talvori::ui::contains(element->traits, talvori::ui::AccessibilityTrait::isButton));
    EXPECT_EQ(element->actionNames(), std::vector<std::string>{"Clear shortcut"});

    EXPECT_TRUE(field().performAccessibilityAction());
    settle();
    ASSERT_TRUE(isRecording());
    EXPECT_EQ(lastAnnouncement(), RecorderCocoa::kRecordingAnnouncement);
    // The desktop's own shortcuts reach the field while it records, to be refused.
    EXPECT_TRUE(hotKeys().isKeyboardCaptured());
    press(Key::a);
    EXPECT_EQ(lastAnnouncement(), RecorderCocoa::kNeedsModifierAnnouncement);
    press(Key::k, Flags::option | Flags::command);
    EXPECT_EQ(lastAnnouncement(), "Saved, Alt Super K.");
    EXPECT_FALSE(hotKeys().isKeyboardCaptured());
    EXPECT_EQ(field().accessibilityElement()->value, "Alt Super K");

    EXPECT_TRUE(field().performAccessibilityAction("Clear shortcut"));
    settle();
    // Cleared, the field records at once.
    const auto texts = simAnnouncer().texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], RecorderCocoa::kClearedAnnouncement);
    EXPECT_EQ(texts.back(), RecorderCocoa::kRecordingAnnouncement);
    EXPECT_EQ(field().accessibilityElement()->value, RecorderCocoa::kNoShortcutValue);
    EXPECT_EQ(getShortcut(name), std::nullopt);
}

TEST_F(RecorderCocoaTest, TabReachesTheFieldWhichRecordsInsideItsFocusRing) {
    EXPECT_FALSE(showsFocusRing());
    press(Key::tab);
    ASSERT_TRUE(isRecording());
    EXPECT_TRUE(showsFocusRing());
    if (const char* folder = std::getenv("TALVORI_VIEW_PICTURES")) {
        talvori::sim::ScreenPicture::render(world()).writePNG(std::string(folder) +
                                                              "/library-recorder.png");
    }
    press(Key::k, Flags::option | Flags::command);
    EXPECT_EQ(getShortcut(name), optionCommandK);
    EXPECT_FALSE(showsFocusRing());
}

// A desktop whose keyboards carry no signs names the keys in words, as its own settings do.
TEST_F(RecorderCocoaTest, KeysAreNamedInWordsWhereTheDesktopDoesSo) {
    layout().setModifierNaming(talvori::KeyboardLayout::ModifierNaming::words);
    clickField();
    press(Key::upArrow, Flags::option | Flags::command);
    EXPECT_TRUE(shows("Alt+Super+Up"));
    setShortcut(Shortcut(Key::home, Flags::control), name);
    settle();
    EXPECT_TRUE(shows("Ctrl+Home"));
    EXPECT_EQ(field().accessibilityElement()->value, "Control Home");
}

TEST_F(RecorderCocoaTest, AMenuItemsShortcutIsRefusedAndFunctionlessKeysBeep) {
    auto menu = std::make_shared<talvori::Menu>("Talvori");
    auto edit = std::make_shared<talvori::Menu>("Edit");
    edit->addItem(
        std::make_shared<talvori::MenuItem>("Copy %s", "k", Flags::option | Flags::command));
    auto item = std::make_shared<talvori::MenuItem>("Edit");
    item->setSubmenu(edit);
    menu->addItem(item);
    simApplication().setMainMenu(menu);
    clickField();
    alerts().scriptAnswer(talvori::Alert::kFirstButtonReturn);
    press(Key::k, Flags::option | Flags::command);
    ASSERT_EQ(alerts().records().size(), 1u);
    // The title goes into the message as it stands, never read as a format.
    EXPECT_EQ(alerts().records().back().alert.messageText,
              "This keyboard shortcut is already used by the menu item “Copy %s”.");
    EXPECT_TRUE(alerts().records().back().alert.buttons.empty());
    EXPECT_EQ(getShortcut(name), name.initialShortcut);
    EXPECT_TRUE(changes.empty());

    press(Key::a, Flags::shift);
    press(Key::a);
    press(Key::a, 0, true);
    EXPECT_EQ(simSound().beeps().size(), 2u);
    EXPECT_TRUE(isRecording());
}

TEST_F(RecorderCocoaTest, TheWindowResigningKeyEndsRecordingAndBecomingKeyStartsNothing) {
    clickField();
    auto other = talvori::platform().application().makePanel({{900, 100}, {100, 100}},
                                                             talvori::StyleMask::titled);
    other->makeKeyAndOrderFront();
    settle();
    EXPECT_FALSE(isRecording());
    EXPECT_FALSE(isPaused());
    window->makeKeyAndOrderFront();
    settle();
    EXPECT_FALSE(isRecording());
    EXPECT_EQ(window->firstResponder(), nullptr);
}

TEST_F(RecorderCocoaTest, AFieldGoneWhileRecordingLetsKeysAndHotKeysGo) {
    clickField();
    ASSERT_TRUE(isPaused());
    content->setRootView(talvori::ui::View());
    settle();
    EXPECT_FALSE(isRecording());
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(activity.back(), false);
    EXPECT_NE(press(Key::k, Flags::option | Flags::command), KeyDelivery::swallowed);
    EXPECT_TRUE(type(*name.initialShortcut));
    EXPECT_EQ(fired, 1);
}

}  // namespace
}  // namespace GlobalShortcuts::testing
