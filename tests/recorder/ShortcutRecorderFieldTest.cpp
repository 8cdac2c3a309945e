#include <cstdlib>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "RecorderWindowTest.hpp"
#include "covers/Palette.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "recorder/ShortcutRecorderField.hpp"
#include "ui/UiTest.hpp"

namespace talvori::testing {
namespace {

using ui::Query;
using ui::testing::colorsClose;

class ShortcutRecorderFieldTest : public RecorderWindowTest {
  protected:
    ShortcutRecorderFieldTest() {
        GlobalShortcuts::onKeyDown(appName("toggleFocus"), [] {});
        show({"toggleFocus", "newCover", "moreBlur"});
    }

    ::testing::AssertionResult looks(const std::string& raw, Color fill, Color border) {
        const auto fillNow = part(raw, "fill").fillColor();
        const auto borderNow = part(raw, "border").strokeColor();
        if (!fillNow || !borderNow) return ::testing::AssertionFailure() << "no fill or border";
        auto result = colorsClose(*fillNow, fill);
        if (!result) return result << " (fill)";
        result = colorsClose(*borderNow, border);
        if (!result) return result << " (border)";
        return ::testing::AssertionSuccess();
    }
    // The popover's window while one is shown.
    std::shared_ptr<Panel> popoverWindow() const {
        for (const auto& panel : platform().application().windows()) {
            const auto content = contentOf(*panel);
            if (panel != window && panel->isVisible() && content &&
                content->host().find(Query::byText("Close"))) {
                return panel;
            }
        }
        return nullptr;
    }
    static std::shared_ptr<ui::PanelHost> contentOf(const Panel& panel) {
        return std::dynamic_pointer_cast<ui::PanelHost>(panel.hostedContent());
    }
    bool popoverShown() const { return popoverWindow() != nullptr; }
    bool tooltipShows(const std::string& text) const {
        for (const auto& panel : platform().application().windows()) {
            const auto content = contentOf(*panel);
            if (panel->isVisible() && content && content->host().find(Query::byText(text)))
                return true;
        }
        return false;
    }
    bool popoverShows(const std::string& text) const {
        const auto panel = popoverWindow();
        return panel && contentOf(*panel)->host().find(Query::byText(text));
    }
    bool isFocused(const std::string& raw) const { return part(raw, "ring").opacity() > 0.99; }
    std::vector<std::string> capTexts(const std::string& raw) const {
        std::vector<std::string> texts;
        const auto whole = field(raw).frame();
        for (const auto& glyph : {"⇧", "⌥", "⌃", "⌘", "F", "N", "K", "↑", "F5"}) {
            for (const auto& node : host().findAll(Query::byText(glyph))) {
                if (whole.contains({node.frame().midX(), node.frame().midY()}))
                    texts.emplace_back(glyph);
            }
        }
        return texts;
    }
};

TEST_F(ShortcutRecorderFieldTest, ShowsTheStoredShortcutAndTellsItToScreenReaders) {
    const auto element = field("newCover").accessibilityElement();
    ASSERT_TRUE(element);
    EXPECT_EQ(element->label, "New Cover shortcut");
    EXPECT_EQ(element->value, "Alt Super N");
    EXPECT_EQ(element->hint, "Press Return to record a new shortcut.");
    EXPECT_TRUE(ui::contains(element->traits, ui::AccessibilityTrait::isButton));
    EXPECT_TRUE(element->children.empty());
    EXPECT_EQ(field("newCover").frame().height(), 24);
    EXPECT_TRUE(looks("newCover", Color::clear(), Color::clear()));
    EXPECT_FALSE(part("newCover", "clear"));

    GlobalShortcuts::setShortcut(std::nullopt, appName("newCover"));
    settle();
    EXPECT_EQ(field("newCover").accessibilityElement()->value, "None");
    EXPECT_TRUE(host().find(Query::byText("Add Shortcut")));
    EXPECT_TRUE(looks("newCover", Palette::white(0.04), Color::clear()));
}

TEST_F(ShortcutRecorderFieldTest, AStoredShortcutTheDesktopHoldsShowsTakenInRedUntilReplaced) {
    hotKeys().holdForOtherProgram(combination(optionCommandN));
    // Storing makes every field look again.
    GlobalShortcuts::setShortcut(optionCommandN, appName("newCover"));
    settle();
    if (const char* folder = std::getenv("TALVORI_VIEW_PICTURES")) {
        sim::ScreenPicture::render(world()).writePNG(std::string(folder) + "/taken-field.png");
    }
    EXPECT_TRUE(host().find(Query::byText("Taken")));
    EXPECT_EQ(field("newCover").accessibilityElement()->value,
              "Alt Super N, taken: your desktop already uses it");
    EXPECT_EQ(capTexts("newCover"), (std::vector<std::string>{"⌥", "⌘", "N"}));
    hover(field("newCover"));
    EXPECT_TRUE(tooltipShows(ui::ShortcutRecorderField::kTakenHelp));

    click(field("newCover"));
    typeKey(Key::k, Flags::option | Flags::command);
    typeKey(Key::escape);
    settle();
    EXPECT_FALSE(host().find(Query::byText("Taken")));
    EXPECT_EQ(field("newCover").accessibilityElement()->value, "Alt Super K");
}

TEST_F(ShortcutRecorderFieldTest, HoverShowsTheClearButtonWhichClearsAndDropsTheFocus) {
    hover(field("toggleFocus"));
    EXPECT_TRUE(looks("toggleFocus", Palette::white(0.08), Palette::white(0.16)));
    const auto clear = part("toggleFocus", "clear");
    ASSERT_TRUE(clear);
    click(clear);
    EXPECT_EQ(GlobalShortcuts::getShortcut(appName("toggleFocus")), std::nullopt);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(lastAnnouncement(), "Toggle Focus Mode shortcut cleared.");
    EXPECT_TRUE(host().find(Query::byText("Add Shortcut")));
    EXPECT_FALSE(ShortcutRecorder::active());
    EXPECT_FALSE(isFocused("toggleFocus"));
}

TEST_F(ShortcutRecorderFieldTest, AClickRecordsAndItsEndDropsTheFocus) {
    click(field("toggleFocus"));
    const auto recorder = ShortcutRecorder::active();
    ASSERT_TRUE(recorder);
    EXPECT_EQ(recorder->title, "Toggle Focus Mode");
    EXPECT_FALSE(GlobalShortcuts::isEnabled());
    EXPECT_TRUE(
        looks("toggleFocus", Palette::accent.withAlpha(0.1), Palette::accent.withAlpha(0.55)));
    EXPECT_FALSE(isFocused("toggleFocus"));

    EXPECT_EQ(press(Key::k, Flags::option | Flags::command), sim::KeyDelivery::swallowed);
    EXPECT_EQ(capTexts("toggleFocus"), (std::vector<std::string>{"⌥", "⌘", "K"}));
    EXPECT_EQ(press(Key::escape), sim::KeyDelivery::swallowed);
    EXPECT_FALSE(recorder->isRecording.peek());
    EXPECT_TRUE(GlobalShortcuts::isEnabled());
    EXPECT_TRUE(isRegistered(optionCommandK));
    // A click-started recording gives the focus back when it ends.
    EXPECT_EQ(press(Key::returnKey), sim::KeyDelivery::unhandled);
    EXPECT_FALSE(ShortcutRecorder::active());
}

TEST_F(ShortcutRecorderFieldTest, ANewShortcutsCapsFadeInOnlyOnceTheOldOnesHaveGone) {
    click(field("newCover"));
    typeKey(Key::k, Flags::option | Flags::command);
    runUntilIdle();
    const auto capOpacity = [this](const std::string& glyph) {
        const auto whole = field("newCover").frame();
        for (const auto& node : host().findAll(Query::byText(glyph))) {
            if (whole.intersects(node.frame())) return node.opacity();
        }
        return -1.0;
    };
    advance(0.1);
    EXPECT_GT(capOpacity("N"), 0.3) << "the old caps are still fading out";
    EXPECT_EQ(capOpacity("K"), 0) << "the new caps wait for them";
    advance(0.4);
    EXPECT_EQ(capOpacity("N"), -1) << "gone";
    EXPECT_DOUBLE_EQ(capOpacity("K"), 1);
}

// Escape while not recording is left to the window, which closes on it.
TEST_F(ShortcutRecorderFieldTest,
       ReturnOrSpaceRecordAndTheFocusStaysWhileASecondEscapeIsTheWindows) {
    host().requestFocus(*field("newCover").node());
    settle();
    EXPECT_TRUE(isFocused("newCover"));
    EXPECT_TRUE(looks("newCover", Palette::white(0.05), Palette::white(0.1)));
    EXPECT_TRUE(part("newCover", "clear"));

    EXPECT_EQ(press(Key::space), sim::KeyDelivery::handled);
    EXPECT_TRUE(ShortcutRecorder::active());
    press(Key::escape);
    EXPECT_FALSE(ShortcutRecorder::active());
    EXPECT_TRUE(isFocused("newCover"));
    EXPECT_EQ(press(Key::returnKey, 0, true), sim::KeyDelivery::handled);
    EXPECT_TRUE(ShortcutRecorder::active());
    press(Key::escape);
    EXPECT_NE(press(Key::escape), sim::KeyDelivery::handled);
    EXPECT_TRUE(isFocused("newCover"));
}

TEST_F(ShortcutRecorderFieldTest, ASavedShortcutSettlesAndANewerChangeRestartsTheSettle) {
    click(field("moreBlur"));
    typeKey(Key::f5);
    advance(0.05);
    EXPECT_TRUE(looks("moreBlur", Color::clear(), Color::clear()));
    advance(0.25);
    typeKey(Key::f6);
    advance(0.3);
    // The first settle would have ended by now; the second holds on.
    EXPECT_TRUE(looks("moreBlur", Color::clear(), Color::clear()));
    settle();
    EXPECT_TRUE(looks("moreBlur", Palette::accent.withAlpha(0.1), Palette::accent.withAlpha(0.55)));
    EXPECT_EQ(changes, 2);
}

TEST_F(ShortcutRecorderFieldTest, AnotherFieldsStartEndsThisOneAndAnOverwriteShowsInBoth) {
    click(field("toggleFocus"));
    const auto first = ShortcutRecorder::active();
    ASSERT_TRUE(popoverShown());
    // A screen reader presses the second field while the first records.
    EXPECT_TRUE(field("newCover").performAccessibilityAction());
    settle();
    EXPECT_FALSE(first->isRecording.peek());
    EXPECT_NE(ShortcutRecorder::active(), first);
    EXPECT_FALSE(GlobalShortcuts::isEnabled());
    // Only the pointer still resting on it lights the first field.
    EXPECT_TRUE(looks("toggleFocus", Palette::white(0.08), Palette::white(0.16)));
    EXPECT_TRUE(popoverShown());

    press(Key::f, Flags::shift | Flags::command);
    EXPECT_TRUE(popoverShows("Toggle Focus Mode"));
    press(Key::returnKey);
    EXPECT_EQ(capTexts("newCover"), (std::vector<std::string>{"⇧", "⌘", "F"}));
    EXPECT_TRUE(host().find(Query::byText("Add Shortcut")));
    EXPECT_EQ(field("toggleFocus").accessibilityElement()->value, "None");
}

TEST_F(ShortcutRecorderFieldTest, AClickOutsideClosesThePopoverAndEndsRecording) {
    hover(field("newCover"));
    EXPECT_TRUE(tooltipShows("Record a new shortcut"));
    // Straight from another field onto this one, clicked.
    click(field("moreBlur"));
    ASSERT_TRUE(popoverShown());
    EXPECT_TRUE(popoverShows("Current shortcut"));
    // The pointer rests on the field, but no tooltip covers the popover.
    advance(3);
    EXPECT_FALSE(tooltipShows("Record a new shortcut"));
    const auto popover = popoverWindow();
    EXPECT_GT(popover->level(), window->level());
    EXPECT_LT(popover->frame().maxY(), globalCenter(field("moreBlur")).y);
    input().click(global({5, 5}));
    settle();
    EXPECT_FALSE(popoverShown());
    EXPECT_FALSE(ShortcutRecorder::active());
    EXPECT_TRUE(GlobalShortcuts::isEnabled());
    EXPECT_FALSE(isFocused("moreBlur"));
}

TEST_F(ShortcutRecorderFieldTest, RecordingEndsWhenItsWindowResignsKey) {
    click(field("toggleFocus"));
    auto other = platform().application().makePanel({{700, 100}, {200, 100}}, StyleMask::titled);
    other->makeKeyAndOrderFront();
    settle();
    EXPECT_FALSE(ShortcutRecorder::active());
    EXPECT_FALSE(popoverShown());
    EXPECT_TRUE(GlobalShortcuts::isEnabled());
}

TEST_F(ShortcutRecorderFieldTest, TheScreenReaderCanRecordAndClear) {
    const auto element = field("newCover").accessibilityElement();
    EXPECT_TRUE(element->hasDefaultAction());
    EXPECT_EQ(element->actionNames(), std::vector<std::string>{"Clear New Cover shortcut"});
    host().requestFocus(*field("newCover").node());
    settle();
    EXPECT_TRUE(field("newCover").performAccessibilityAction("Clear New Cover shortcut"));
    settle();
    EXPECT_EQ(GlobalShortcuts::getShortcut(appName("newCover")), std::nullopt);
    EXPECT_TRUE(isFocused("newCover"));
    EXPECT_FALSE(ShortcutRecorder::active());
    EXPECT_TRUE(field("newCover").performAccessibilityAction());
    settle();
    EXPECT_TRUE(ShortcutRecorder::active());
}

TEST_F(ShortcutRecorderFieldTest, LeavingTheScreenWhileRecordingGivesTheHotKeysBack) {
    click(field("toggleFocus"));
    ASSERT_FALSE(GlobalShortcuts::isEnabled());
    hide();
    EXPECT_FALSE(ShortcutRecorder::active());
    EXPECT_TRUE(GlobalShortcuts::isEnabled());
    EXPECT_TRUE(type(shiftCommandF));
}

}  // namespace
}  // namespace talvori::testing
