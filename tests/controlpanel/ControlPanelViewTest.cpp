#include "controlpanel/ControlPanelActionsSection.hpp"
#include "controlpanel/ControlPanelSegmentButton.hpp"
#include "controlpanel/ControlPanelTest.hpp"
#include "covers/Palette.hpp"

namespace talvori::testing {
namespace {

// The panel shown for one cover with the pointer resting on its card.
class ControlPanelViewTest : public ControlPanelTest {
  protected:
    ControlPanelViewTest() : cover(addCover({100, 300, 300, 200})) {
        showPanelFor(cover);
        input().moveMouse(global({150, 30}));
        runUntilIdle();
    }
    std::string name() const { return cover.model.peek().name; }
    void beginRename() { click("Rename cover"); }
    // The effect segment a reader hears checked.
    std::string chosen() const {
        for (const char* segment : {"Glass", "Solid"}) {
            const auto found = element(segment);
            if (found && found->isOn.value_or(false)) return segment;
        }
        return "none";
    }

    OverlayViewModel& cover;
};

TEST_F(ControlPanelViewTest, RenameTrimsKeepsABlankNameAndEscapeCancels) {
    EXPECT_TRUE(shows("Overlay 1"));
    beginRename();
    EXPECT_TRUE(card().find(ui::Query::byText("Overlay 1")).isFocused());
    selectAll();
    typeText("  Desk notes\t");
    pressReturn();
    EXPECT_EQ(name(), "Desk notes");
    EXPECT_TRUE(shows("Desk notes"));

    beginRename();
    selectAll();
    typeText("   ");
    click("Confirm name");
    EXPECT_EQ(name(), "Desk notes");
    EXPECT_TRUE(find("Rename cover").exists());

    // A digit typed into the field is text, not an opacity.
    beginRename();
    typeText("7");
    EXPECT_DOUBLE_EQ(cover.opacity(), 0.8);
    pressEscape();
    EXPECT_EQ(name(), "Desk notes");
    EXPECT_TRUE(find("Rename cover").exists());
}

TEST_F(ControlPanelViewTest, CloseAndDuplicateCallOnceAndHideThePanel) {
    clickText("CLOSE");
    EXPECT_EQ(calls, std::vector<std::string>{"close Overlay 1"});
    EXPECT_FALSE(controller->isPanelVisible());

    moveAway();
    showPanelFor(cover);
    input().moveMouse(global({150, 30}));
    clickText("DUPLICATE");
    EXPECT_EQ(calls, (std::vector<std::string>{"close Overlay 1", "duplicate Overlay 1"}));
    EXPECT_FALSE(controller->isPanelVisible());
}

TEST_F(ControlPanelViewTest, PressedWinsOverHoveredAndReduceMotionChangesAtOnce) {
    using ui::ControlPanelSegmentButton;
    EXPECT_EQ(ControlPanelSegmentButton::fill(true, true, true), ui::Color(Palette::accentDeep));
    EXPECT_EQ(ControlPanelSegmentButton::fill(false, true, true), ui::Color(Palette::white10));

    const auto glass = card().find(ui::Query::byText("GLASS"));
    simWorkspace().setReduceMotion(true);
    input().moveMouse(globalCenter(glass));
    runUntilIdle();
    EXPECT_EQ(find("Glass").fillColor(), ui::Color(Palette::white6_3));
    input().mouseDown(globalCenter(glass));
    runUntilIdle();
    EXPECT_EQ(find("Glass").fillColor(), ui::Color(Palette::white10));
    input().mouseUp(globalCenter(glass));
    runUntilIdle();
    EXPECT_EQ(cover.effectType(), EffectType::glass);
    EXPECT_EQ(chosen(), "Glass");

    // From the keyboard, as a radio group: the arrows choose the segment after or before the
    // focused one, round the row, and the focus goes with the choice.
    for (int tabs = 0; tabs < 20 && !find("Glass").isFocused(); ++tabs) card().press(ui::Key::tab);
    ASSERT_TRUE(find("Glass").isFocused());
    for (const auto& [key, effect] : {std::pair{ui::Key::rightArrow, EffectType::solid},
                                      std::pair{ui::Key::rightArrow, EffectType::glass},
                                      std::pair{ui::Key::upArrow, EffectType::solid}}) {
        EXPECT_TRUE(card().press(key));
        runUntilIdle();
        EXPECT_EQ(cover.effectType(), effect);
        EXPECT_EQ(chosen(), effect == EffectType::solid ? "Solid" : "Glass");
        EXPECT_TRUE(find(chosen()).isFocused());
    }
    EXPECT_TRUE(find("Effect").exists());
}

TEST_F(ControlPanelViewTest, TogglesFlipTheirOwnFlagAndFollowChangesMadeElsewhere) {
    click("PASSTHRU");
    EXPECT_TRUE(cover.isClickThroughEnabled());
    click("LOCKED");
    EXPECT_TRUE(cover.isLocked.peek());
    EXPECT_EQ(calls, (std::vector<std::string>{"clickThrough Overlay 1", "lock Overlay 1"}));
    EXPECT_EQ(spokenProperty("LOCKED", "hint"), "Press Space to disable");

    cover.isLocked.set(false);
    runUntilIdle();
    EXPECT_FALSE(isSelected("LOCKED"));
    EXPECT_EQ(spokenProperty("LOCKED", "hint"), "Press Space to enable");
    controller->onLockChange = nullptr;
    click("LOCKED");
    EXPECT_TRUE(cover.isLocked.peek());
}

TEST_F(ControlPanelViewTest, ASecondShowKeepsTheHeaderButResetsAppearanceAnotherCoverResetsAll) {
    beginRename();
    click("Show color picker");
    ASSERT_TRUE(find("Hide color picker").exists());
    controller->hideNow();
    moveAway();
    showPanelFor(cover);
    EXPECT_TRUE(find("Confirm name").exists());
    EXPECT_TRUE(find("Show color picker").exists());

    auto& other = addCover({100, 40, 300, 150}, "Other");
    controller->hideNow();
    showPanelFor(other);
    EXPECT_TRUE(find("Rename cover").exists());
    EXPECT_TRUE(shows("Other"));
}

}  // namespace
}  // namespace talvori::testing
