#include "app/LayoutsTest.hpp"

namespace talvori::testing {
namespace {

class GhostPreviewTest : public LayoutsTest {
  protected:
    UUID saveLayout(std::vector<double> xs) {
        for (const double x : xs) cover("G", x);
        manager()->saveCurrentAsPreset("L");
        manager()->closeActiveLayout();
        return manager()->presets.peek().back().id;
    }
};

TEST_F(GhostPreviewTest, OutlinesFadeInAtTheSavedFramesLetClicksThroughAndFadeOut) {
    start();
    auto& wm = *manager();
    const UUID three = saveLayout({100, 400, 700});
    const UUID one = saveLayout({1000});
    const std::int32_t editor = world().launchApplication("Editor", "org.example.Editor");
    const std::uint32_t below = world().openWindow(editor, "Notes", Rect(90, 90, 300, 300));

    wm.showGhostPanels(three);
    ASSERT_EQ(ghostsOnScreen().size(), 3u);
    EXPECT_EQ(ghostsOnScreen()[0]->alphaValue(), 0);
    advance(0.26);
    for (const auto& ghost : ghostsOnScreen()) EXPECT_DOUBLE_EQ(ghost->alphaValue(), 0.5);
    EXPECT_EQ(wm.ghostPanels.peek()[1]->frame(), wm.presets.peek()[0].overlays[1].frame.rect());
    EXPECT_EQ(world().windowAt({150, 150}), below) << "clicks go through the outline";

    // From one layout to the next: the first fades out while the second fades in.
    wm.showGhostPanels(one);
    EXPECT_EQ(wm.fadingGhostPanels.peek().size(), 3u);
    EXPECT_EQ(wm.ghostPanels.peek().size(), 1u);
    advance(0.21);
    EXPECT_TRUE(wm.fadingGhostPanels.peek().empty());
    EXPECT_EQ(ghostsOnScreen().size(), 1u);

    wm.hideGhostPanels();
    wm.hideGhostPanels();
    advance(0.21);
    EXPECT_TRUE(ghostsOnScreen().empty());
    EXPECT_TRUE(wm.ghostPanels.peek().empty());
    EXPECT_TRUE(wm.fadingGhostPanels.peek().empty());

    // Removing everything mid-fade leaves the late completions nothing to do.
    wm.showGhostPanels(three);
    advance(0.1);
    wm.hideGhostPanels();
    wm.removeGhostPanels();
    EXPECT_TRUE(ghostsOnScreen().empty());
    advance(0.3);
    EXPECT_TRUE(ghostsOnScreen().empty());
    EXPECT_TRUE(wm.fadingGhostPanels.peek().empty());

    wm.showGhostPanels(UUID::random());
    EXPECT_TRUE(wm.ghostPanels.peek().empty());
}

}  // namespace
}  // namespace talvori::testing
