#include "app/PanelTest.hpp"

namespace talvori::testing {
namespace {

class LayoutsCardTest : public PanelTest {
  protected:
    // Two covers saved as "Layout 1" from the panel, then closed.
    void saveLayout() {
        manager()->createCover();
        manager()->createCover();
        advance(0.3);
        click(labelled("Save as layout"));
        manager()->closeActiveLayout();
        advance(0.5);
    }
    std::string countdownText() const {
        for (int count = 0; count <= 5; ++count) {
            const std::string shown = "Delete layout (" + std::to_string(count) + "s)";
            if (text(shown).exists()) return shown;
        }
        return {};
    }
    bool confirming() const { return labelled("Keep").opacity() > 0.99; }
};

TEST_F(LayoutsCardTest, TheEyeAppliesTheRowShowsChangesAndSavesOrDismissesThem) {
    start();
    saveLayout();
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_TRUE(text("Layout 1").exists());
    EXPECT_TRUE(text("2").exists()) << "the cover count badge";

    click(labelled("Activate layout"));
    advance(0.6);
    EXPECT_EQ(manager()->overlays.peek().size(), 2u);
    EXPECT_TRUE(labelled("Deactivate layout").exists());
    EXPECT_FALSE(text("Save to layout").exists());

    manager()->overlays.peek()[0]->setOpacity(0.3);
    advance(0.3);
    ASSERT_TRUE(text("Save to layout").exists());
    const auto lines = views().findAll(
        ui::Query::byText("\"Overlay 1\" " + manager()->activePresetChanges().front().description));
    EXPECT_EQ(lines.size(), 1u);
    click(labelled("Dismiss"));
    advance(0.6);
    EXPECT_FALSE(manager()->activePresetHasChanges());
    EXPECT_EQ(manager()->overlays.peek()[0]->opacity(), 0.8);

    manager()->overlays.peek()[1]->setOpacity(0.4);
    advance(0.3);
    click(labelled("Save to layout"));
    advance(0.3);
    EXPECT_EQ(stored()[0].overlays[1].opacity, 0.4);
    EXPECT_FALSE(text("Save to layout").exists());

    click(labelled("Rename layout"));
    key(0, "a", ModifierFlags::command);
    typeText(" Deep work\t");
    EXPECT_EQ(stored()[0].name, "Layout 1") << "a tab moves focus on, nothing is stored";
    click(labelled("Rename layout"));
    key(0, "a", ModifierFlags::command);
    typeText("  Deep work ");
    key(kReturnKey, "\r");
    EXPECT_EQ(stored()[0].name, "Deep work");

    click(labelled("Deactivate layout"));
    EXPECT_TRUE(manager()->overlays.peek().empty());
    EXPECT_FALSE(manager()->undoableModels.peek()) << "no undo for a closed layout";
}

TEST_F(LayoutsCardTest, ManyChangesShowEightLinesAndCountTheRest) {
    start();
    auto& wm = *manager();
    for (int index = 0; index < 12; ++index) wm.createCover();
    wm.saveCurrentAsPreset("Big");
    wm.activePresetId.set(wm.presets.peek().front().id);
    for (const auto& cover : wm.overlays.peek()) cover->setOpacity(0.3);
    advance(0.5);
    const std::string description = wm.activePresetChanges().front().description;
    EXPECT_TRUE(text("\"Overlay 8\" " + description).exists());
    EXPECT_FALSE(text("\"Overlay 9\" " + description).exists());
    EXPECT_TRUE(text("and 4 more changes").exists());
    wm.overlays.peek()[11]->setOpacity(0.8);
    wm.overlays.peek()[10]->setOpacity(0.8);
    wm.overlays.peek()[9]->setOpacity(0.8);
    advance(0.3);
    EXPECT_TRUE(text("and 1 more change").exists());
}

TEST_F(LayoutsCardTest, TheDeleteCountdownCountsOncePerSecondEvenWhenOpenedAgainQuickly) {
    start();
    saveLayout();
    click(labelled("Delete layout"));
    EXPECT_EQ(countdownText(), "Delete layout (5s)");
    for (const int count : {4, 3, 2, 1}) {
        advance(1);
        EXPECT_EQ(countdownText(), "Delete layout (" + std::to_string(count) + "s)");
    }
    advance(1);
    advance(0.3);
    EXPECT_FALSE(confirming()) << "closed by itself";
    EXPECT_EQ(stored().size(), 1u);

    // Delete, Keep, Delete within one second: the first chain's tick must not count.
    click(labelled("Delete layout"));
    advance(0.3);
    click(labelled("Keep"));
    advance(0.3);
    EXPECT_FALSE(confirming());
    click(labelled("Delete layout"));
    for (const int count : {5, 4, 3, 2, 1}) {
        advance(0.5);
        EXPECT_EQ(countdownText(), "Delete layout (" + std::to_string(count) + "s)");
        advance(0.5);
    }
    advance(0.3);
    EXPECT_FALSE(confirming());

    click(labelled("Delete layout"));
    advance(0.3);
    click(labelled("Delete layout (5s)"));
    advance(0.5);
    EXPECT_TRUE(stored().empty());
    EXPECT_TRUE(manager()->presets.peek().empty());
    EXPECT_FALSE(text("Layouts").exists());
}

TEST_F(LayoutsCardTest, GhostPreviewsFollowThePointerAndNeverOutliveThePanelOrTheRow) {
    start();
    saveLayout();
    hover(text("Layout 1"));
    EXPECT_EQ(ghostsOnScreen(), 2u);
    key(kEscapeKey, "\x1b");
    advance(0.25);
    EXPECT_EQ(ghostsOnScreen(), 0u) << "Escape";

    open();
    hover(text("Layout 1"));
    ASSERT_EQ(ghostsOnScreen(), 2u);
    manager()->toggleMenuBarPanel();
    advance(0.25);
    EXPECT_EQ(ghostsOnScreen(), 0u) << "the panel shortcut";

    open();
    hover(text("Layout 1"));
    ASSERT_EQ(ghostsOnScreen(), 2u);
    input().moveMouse({5, 5});
    advance(0.25);
    EXPECT_EQ(ghostsOnScreen(), 0u) << "the pointer left the row";

    hover(text("Layout 1"));
    click(labelled("Delete layout"));
    click(labelled("Delete layout (5s)"));
    advance(0.5);
    EXPECT_EQ(ghostsOnScreen(), 0u) << "the row went from under the pointer";
}

TEST_F(LayoutsCardTest, TheEyeTooltipStaysInsideThePanel) {
    start();
    saveLayout();
    hover(labelled("Activate layout"));
    advance(0.6);
    const auto bubble = text("Activate layout");
    ASSERT_TRUE(bubble.exists());
    const Rect frame = *bubble.frameInWindow();
    EXPECT_GE(frame.minX(), 4);
    EXPECT_LE(frame.maxX(), menuPanel()->frame().width());
    EXPECT_LT(frame.maxY(), labelled("Activate layout").frameInWindow()->minY());
}

TEST_F(LayoutsCardTest, LayoutsSurviveARestartWithTheirCoversAndIds) {
    start();
    saveLayout();
    const PresetModel saved = manager()->presets.peek().front();
    app.reset();
    advance(1);
    platform().destroyServicesForTesting();
    startApp();
    open();
    ASSERT_TRUE(text("Layout 1").exists());
    EXPECT_TRUE(manager()->overlays.peek().empty()) << "no cover is open after a restart";
    click(labelled("Activate layout"));
    ASSERT_EQ(manager()->overlays.peek().size(), 2u);
    EXPECT_EQ(manager()->overlays.peek()[1]->model.peek(), saved.overlays[1]);
    EXPECT_FALSE(manager()->activePresetHasChanges());
}

}  // namespace
}  // namespace talvori::testing
