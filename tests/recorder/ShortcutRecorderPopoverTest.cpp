#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "RecorderTest.hpp"
#include "covers/Palette.hpp"
#include "recorder/ClearButton.hpp"
#include "recorder/Keycap.hpp"
#include "recorder/ShortcutRecorderPopover.hpp"
#include "ui/UiTest.hpp"

namespace talvori::testing {
namespace {

using ui::Query;
using ui::testing::colorsClose;

class ShortcutRecorderPopoverTest : public RecorderTest {
  protected:
    ShortcutRecorderPopoverTest() {
        recorder->startRecording();
        popover = ui::Host::make(ui::ShortcutRecorderPopover{recorder}, options());
        runUntilIdle();
    }

    static ui::Host::Options options() {
        ui::Host::Options options;
        options.textMeasurer = std::make_shared<ui::FixedTextMeasurer>();
        return options;
    }
    bool shows(const std::string& text) const {
        return popover->find(Query::byText(text)).exists();
    }
    std::optional<Color> glowFill() const {
        return popover->find(Query::byIdentifier("ShortcutRecorderPopover.glow")).fillColor();
    }

    std::shared_ptr<ShortcutRecorder> recorder =
        std::make_shared<ShortcutRecorder>(appName("toggleFocus"), nullptr);
    std::shared_ptr<ui::Host> popover;
};

TEST_F(ShortcutRecorderPopoverTest, EachStateShowsItsBlock) {
    EXPECT_TRUE(shows("Current shortcut"));
    EXPECT_TRUE(shows("to delete"));
    hold(Flags::control | Flags::option);
    runUntilIdle();
    EXPECT_TRUE(shows("Press a shortcut"));
    EXPECT_TRUE(shows("⌃"));
    hold(0);
    typeKey(Key::a);
    runUntilIdle();
    EXPECT_TRUE(shows("Add ⌘, ⌥ or ⌃"));
    EXPECT_TRUE(shows("A key on its own would fire while you type."));
    EXPECT_FALSE(glowFill());
    typeKey(Key::n, Flags::option | Flags::command);
    runUntilIdle();
    EXPECT_TRUE(shows("Already used by"));
    EXPECT_TRUE(shows("New Cover"));
    EXPECT_TRUE(shows("Overwrite"));
    EXPECT_LT(popover->find(Query::byText("Overwrite")).frame().maxX(),
              popover->find(Query::byText("Close")).frame().minX());
    typeKey(Key::deleteKey);
    runUntilIdle();
    EXPECT_FALSE(shows("Overwrite"));
    EXPECT_TRUE(shows("e.g."));
    EXPECT_EQ(popover->size().width, 232);
}

// Where the desktop names keys in words, the hints' caps are words too.
TEST_F(ShortcutRecorderPopoverTest, HintsNameTheirKeysAsTheLayoutDoes) {
    EXPECT_TRUE(shows("⌫"));
    layout().setModifierNaming(KeyboardLayout::ModifierNaming::words);
    typeKey(Key::n, Flags::option | Flags::command);
    runUntilIdle();
    EXPECT_TRUE(shows("Return"));
    EXPECT_TRUE(shows("Escape"));
    typeKey(Key::returnKey);
    runUntilIdle();
    EXPECT_TRUE(shows("Backspace"));
    EXPECT_FALSE(shows("⌫"));
}

TEST_F(ShortcutRecorderPopoverTest, OverwriteSavesWithoutAGlowAndCloseEndsRecording) {
    typeKey(Key::n, Flags::option | Flags::command);
    runUntilIdle();
    advance(1);
    popover->find(Query::byText("Overwrite")).click();
    runUntilIdle();
    EXPECT_EQ(GlobalShortcuts::getShortcut(appName("toggleFocus")), optionCommandN);
    EXPECT_EQ(GlobalShortcuts::getShortcut(appName("newCover")), std::nullopt);
    EXPECT_TRUE(shows("Saved"));
    EXPECT_DOUBLE_EQ(glowFill()->alpha, 0);

    popover->find(Query::byText("Close")).click();
    EXPECT_FALSE(recorder->isRecording.peek());
    EXPECT_EQ(ShortcutRecorder::active(), nullptr);
    EXPECT_TRUE(GlobalShortcuts::isEnabled());
}

TEST_F(ShortcutRecorderPopoverTest, ATakenCombinationGlowsRedHoldsThenFadesAndGlowsAgain) {
    simHotKeys().setSymbolicHotKeys({{true, Key::k.rawValue, optionCommandK.carbonModifiers}});
    typeKey(Key::k, Flags::option | Flags::command);
    runUntilIdle();
    EXPECT_TRUE(shows("Your desktop already uses this shortcut"));
    const ui::Color red = Palette::red;
    EXPECT_TRUE(colorsClose(*glowFill(), red.opacity(0.5 * 0.45)));
    advance(0.11);
    EXPECT_TRUE(colorsClose(*glowFill(), red.opacity(0.5 * 0.45)));
    advance(0.26);
    EXPECT_LT(glowFill()->alpha, 0.5 * 0.45);
    EXPECT_GT(glowFill()->alpha, 0);
    advance(0.3);
    EXPECT_TRUE(colorsClose(*glowFill(), red.opacity(0), 0.001));
    // The same combination again: same phase, new attempt, new glow.
    typeKey(Key::k, Flags::option | Flags::command);
    runUntilIdle();
    EXPECT_TRUE(colorsClose(*glowFill(), red.opacity(0.5 * 0.45)));
}

TEST_F(ShortcutRecorderPopoverTest, KeycapsKeepTheirHeightAndTheClearCrossItsThreeShades) {
    auto caps = ui::Host::make(
        ui::HStack(
            4,
            {ui::View(ui::Keycap{"esc", ui::Keycap::Size::footer, ui::Keycap::Style::rest}),
             ui::View(ui::Keycap{"", ui::Keycap::Size::popover, ui::Keycap::Style::slot})
                 .accessibilityIdentifier("slot"),
             ui::View(ui::Keycap{"N", ui::Keycap::Size::field}).accessibilityIdentifier("field")}),
        options());
    EXPECT_GT(caps->size().width, 16 + 4 + 22 + 4 + 16);
    EXPECT_EQ(caps->find(Query::byIdentifier("field")).frame().size, (Size{16, 16}));
    const auto slot = caps->find(Query::byIdentifier("slot"));
    EXPECT_EQ(slot.frame().size, (Size{22, 22}));
    EXPECT_FALSE(slot.fillColor());
    EXPECT_TRUE(colorsClose(*slot.strokeColor(), Palette::white(0.28)));
    // The caps say nothing themselves: the recorder speaks for them.
    EXPECT_EQ(caps->accessibilityDump(), "text id=slot\ntext id=field\n");
    EXPECT_DOUBLE_EQ(ui::ClearButton::crossOpacity(false, false), 0.45);
    EXPECT_DOUBLE_EQ(ui::ClearButton::crossOpacity(false, true), 0.85);
    EXPECT_DOUBLE_EQ(ui::ClearButton::crossOpacity(true, true), 0.9);
}

}  // namespace
}  // namespace talvori::testing
