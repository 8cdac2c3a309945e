#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "RecorderTest.hpp"
#include "recorder/ShortcutGlyphs.hpp"
#include "recorder/ShortcutRecorder.hpp"
#include "session/ShortcutText.hpp"

namespace talvori::testing {
namespace {

using Glyphs = std::vector<std::string>;

class ShortcutGlyphsTest : public RecorderTest {};

TEST_F(ShortcutGlyphsTest, ModifiersComeInReadingOrderAndKeysAsOneCap) {
    EXPECT_EQ(modifierGlyphs(0), Glyphs{});
    EXPECT_EQ(modifierGlyphs(Flags::command | Flags::shift | Flags::option | Flags::control |
                             Flags::function | Flags::capsLock | Flags::numericPad),
              (Glyphs{"⌃", "⌥", "⇧", "⌘"}));
    EXPECT_EQ(keycapGlyphs(optionCommandN), (Glyphs{"⌥", "⌘", "N"}));
    EXPECT_EQ(keycapGlyphs(Shortcut(Key::f5, 0)), Glyphs{"F5"});
    // Keys shown with combining marks stay one cap each.
    EXPECT_EQ(keycapGlyphs(Shortcut(Key::keypad1, Flags::command)), (Glyphs{"⌘", "1\u20E3"}));
    EXPECT_EQ(keycapGlyphs(Shortcut(Key::help, 0)), Glyphs{"?\u20DD"});
    EXPECT_EQ(keycapGlyphs(Shortcut(Key::space, Flags::option)), (Glyphs{"⌥", "Space"}));
}

TEST_F(ShortcutGlyphsTest, TheKeyCapComesFromTheKeyNotFromTheDescription) {
    // Fn gets a globe cap of its own instead of fusing with the key.
    EXPECT_EQ(
        keycapGlyphs(Shortcut(Key::a, Flags::command | Flags::function)),
        (Glyphs{"⌘", GlobalShortcuts::CarbonModifiers::symbolicRepresentation(Flags::function),
                "A"}));
    // A key that types a lone combining mark keeps it on its own cap.
    layout().overrideKey(static_cast<std::uint16_t>(Key::a.rawValue), "\u0301");
    const auto glyphs = keycapGlyphs(Shortcut(Key::a, Flags::option | Flags::command));
    ASSERT_EQ(glyphs.size(), 3u);
    EXPECT_EQ(glyphs[1], "⌘");
    EXPECT_FALSE(glyphs[2].empty());
}

TEST_F(ShortcutGlyphsTest, TheLayoutGivesTheCharacterOrTheReplacementSign) {
    layout().selectLayout(sim::SimKeyboardLayout::Layout::german);
    EXPECT_EQ(keycapGlyphs(Shortcut(Key::z, Flags::command)), (Glyphs{"⌘", "Y"}));
    EXPECT_EQ(keycapGlyphs(Shortcut(Key::minus, Flags::command)), (Glyphs{"⌘", "Ss"}));
    // A dead accent key types nothing by itself.
    EXPECT_EQ(keycapGlyphs(Shortcut(Key::equal, Flags::command)), (Glyphs{"⌘", "\uFFFD"}));
}

TEST_F(ShortcutGlyphsTest, SpokenFormNamesModifiersAndSymbols) {
    EXPECT_EQ(spokenShortcut(optionCommandN), "Alt Super N");
    EXPECT_EQ(spokenShortcut(shiftCommandF), "Shift Super F");
    EXPECT_EQ(
        spokenShortcut(Shortcut(Key::downArrow, Flags::control | Flags::option | Flags::command)),
        "Control Alt Super Down Arrow");
    EXPECT_EQ(spokenShortcut(Shortcut(Key::f5, 0)), "F5");
    EXPECT_EQ(spokenShortcut(Shortcut(Key::deleteForward, Flags::command)), "Super Delete");
    EXPECT_EQ(spokenShortcut(Shortcut(Key::deleteKey, Flags::option)), "Alt Backspace");
    EXPECT_EQ(spokenShortcut(Shortcut(Key::escape, Flags::shift)), "Shift Escape");
    EXPECT_EQ(spokenShortcut(Shortcut(Key::home, Flags::control)), "Control Home");
    EXPECT_EQ(spokenShortcut(Shortcut(Key::pageDown, Flags::command)), "Super Page Down");
}

// This desktop's settings write the modifiers and the special keys as words, the modifiers in
// GTK's order, joined by "+".
TEST_F(ShortcutGlyphsTest, WordsNameTheKeysWhereTheLayoutSaysSo) {
    layout().setModifierNaming(KeyboardLayout::ModifierNaming::words);
    EXPECT_EQ(modifierGlyphs(Flags::command | Flags::shift | Flags::option | Flags::control),
              (Glyphs{"Shift", "Ctrl", "Alt", "Super"}));
    EXPECT_EQ(keycapGlyphs(shiftCommandF), (Glyphs{"Shift", "Super", "F"}));
    EXPECT_EQ(shortcutText(shiftCommandF), "Shift+Super+F");
    EXPECT_EQ(spokenShortcut(Shortcut(Key::downArrow, Flags::control | Flags::option)),
              "Control Alt Down Arrow");
    EXPECT_EQ(ShortcutRecorder::needsModifierAnnouncement(), "Add Control, Alt or Super.");
    EXPECT_EQ(keycapGlyphs(Shortcut(Key::home, Flags::control)), (Glyphs{"Ctrl", "Home"}));
    EXPECT_EQ(keycapGlyphs(Shortcut(Key::deleteKey, Flags::option)), (Glyphs{"Alt", "Backspace"}));
    EXPECT_EQ(shortcutText(Shortcut(Key::pageUp, Flags::control | Flags::option)),
              "Ctrl+Alt+Page Up");
    EXPECT_EQ(shortcutText(Shortcut(Key::returnKey, Flags::command)), "Super+Return");
    EXPECT_EQ(spokenShortcut(Shortcut(Key::end, Flags::control)), "Control End");
}

}  // namespace
}  // namespace talvori::testing
