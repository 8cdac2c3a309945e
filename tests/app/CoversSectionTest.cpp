#include "app/PanelTest.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "support/FocusedLabel.hpp"
#include "support/HostPixels.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::testing {
namespace {

class CoversSectionTest : public PanelTest {
  protected:
    // The panel's pixels as its window draws them, after what changed since the last drawing.
    std::vector<unsigned char> drawPanel() const { return talvori::testing::drawnPixels(views()); }
};

TEST_F(CoversSectionTest, TheFirstCoverReplacesTheEmptyLineAndThePanelGrowsDownwards) {
    start();
    EXPECT_TRUE(text("No active covers").exists());
    EXPECT_TRUE(labelled("Settings").exists());
    EXPECT_TRUE(labelled("Quit Talvori").exists());
    EXPECT_FALSE(text("Layouts").exists());
    EXPECT_FALSE(labelled("Close all covers").exists());
    const Rect before = menuPanel()->frame();
    click(labelled("New cover"));
    advance(0.3);
    EXPECT_TRUE(text("1 active").exists());
    EXPECT_TRUE(text("Overlay 1").exists());
    EXPECT_TRUE(labelled("Close all covers").exists());
    const Rect after = menuPanel()->frame();
    EXPECT_GT(after.height(), before.height());
    EXPECT_DOUBLE_EQ(after.maxY(), before.maxY());
    EXPECT_EQ(after.height(), views().fittingSize().height);
}

TEST_F(CoversSectionTest, ARowRenamesTrimmedHighlightsItsCoverAndClosesIt) {
    start();
    const auto cover = manager()->createCover();
    advance(0.3);
    hover(text("Overlay 1"));
    EXPECT_TRUE(cover->isHighlighted.peek());

    click(labelled("Rename cover"));
    key(0, "a", ModifierFlags::command);
    typeText("  Notes \xE2\x80\x83");  // an em space trails the name
    key(kReturnKey, "\r");
    EXPECT_EQ(cover->name(), "Notes");
    EXPECT_TRUE(text("Notes").exists());
    click(labelled("Rename cover"));
    key(0, "a", ModifierFlags::command);
    typeText("   ");
    key(kReturnKey, "\r");
    EXPECT_EQ(cover->name(), "Notes") << "a blank name keeps the old one";
    EXPECT_FALSE(labelled("Name").exists()) << "but editing ends";

    // Escape in the field closes the panel; the row is still editing when it opens again.
    click(labelled("Rename cover"));
    typeText("!");
    EXPECT_EQ(key(kEscapeKey, "\x1b"), sim::KeyDelivery::swallowed);
    EXPECT_FALSE(isMenuPanelOnScreen());
    EXPECT_FALSE(cover->isHighlighted.peek()) << "the hidden panel lets go of the highlight";
    open();
    ASSERT_TRUE(labelled("Name").exists());
    EXPECT_EQ(labelled("Name").text(), "Notes!");

    click(labelled("Close cover"));
    advance(0.3);
    EXPECT_TRUE(manager()->overlays.peek().empty());
    EXPECT_TRUE(manager()->windowControllers.peek().empty());
    EXPECT_TRUE(text("No active covers").exists());
}

// Without a pointer: Return on a cover's name opens its control panel beside it with the first
// control focused, and Escape there comes back to the name.
TEST_F(CoversSectionTest, ACoversControlPanelOpensFromItsRowByTheKeyboardAndEscapeComesBack) {
    start();
    const auto cover = manager()->createCover();
    advance(0.3);
    for (int tabs = 0; tabs < 12 && focusedLabel(views()) != "Overlay 1"; ++tabs) key(48, "\t");
    ASSERT_EQ(focusedLabel(views()), "Overlay 1");

    EXPECT_EQ(key(kReturnKey, "\r"), sim::KeyDelivery::handled);
    auto& controls = manager()->controlPanelController();
    ASSERT_TRUE(controls.isPanelVisible());
    EXPECT_EQ(controls.currentOverlayID(), cover->id());
    EXPECT_TRUE(controls.panel()->isKeyWindow());
    EXPECT_NE(focusedLabel(controls.hostingView()->host()), "(nothing)");

    key(kEscapeKey, "\x1b");
    EXPECT_FALSE(controls.isPanelVisible());
    ASSERT_TRUE(isMenuPanelOnScreen());
    EXPECT_EQ(focusedLabel(views()), "Overlay 1");
}

// A cover that lets clicks through opens no control panel under the pointer: a click on its name
// in the panel is the mouse's way back to its settings.
TEST_F(CoversSectionTest, AClickOnACoversNameOpensItsControlPanel) {
    start();
    const auto cover = manager()->createCover();
    cover->setClickThroughEnabled(true);
    advance(0.3);
    click(text("Overlay 1"));
    auto& controls = manager()->controlPanelController();
    ASSERT_TRUE(controls.isPanelVisible());
    EXPECT_EQ(controls.currentOverlayID(), cover->id());
    EXPECT_TRUE(controls.panel()->isKeyWindow());
}

TEST_F(CoversSectionTest, CloseAllOffersAnUndoWhoseBarDrainsAndWhichBringsTheCoversBack) {
    start();
    for (int index = 0; index < 3; ++index) manager()->createCover();
    advance(0.3);
    click(labelled("Close all covers"));
    advance(0.2);
    EXPECT_TRUE(text("3 active").exists()) << "the count stays while the rows leave";
    EXPECT_FALSE(labelled("Close all covers").isEnabled());
    advance(0.55);
    EXPECT_FALSE(manager()->isClosingAll.peek());
    const auto link = labelled("Undo close all");
    ASSERT_TRUE(link.exists());
    advance(0.2);
    EXPECT_DOUBLE_EQ(link.opacity(), 1);
    ASSERT_TRUE(text("No active covers").exists());
    EXPECT_DOUBLE_EQ(text("No active covers").opacity(), 0);
    const auto bar = views().find(ui::Query::byIdentifier("UndoCloseAllLink.bar"));
    advance(3.8);  // half of the eight seconds since the offer opened
    EXPECT_NEAR(bar.frame().width() / link.frame().width(), 0.5, 0.03);

    click(link);
    EXPECT_EQ(manager()->overlays.peek().size(), 3u);
    advance(0.6);
    EXPECT_TRUE(text("3 active").exists());
    EXPECT_DOUBLE_EQ(text("3 active").opacity(), 1);
}

TEST_F(CoversSectionTest, TheCloseAllCascadeDrawnFrameByFrameLooksAsAFullRedraw) {
    start();
    for (int index = 0; index < 8; ++index) manager()->createCover();
    advance(0.3);
    drawPanel();
    drawPanel();
    click(labelled("Close all covers"));
    // Rows far apart change at once (one sliding out, the count line): each frame redraws only
    // them, into the picture kept from the frame before.
    for (int frame = 1; frame <= 60; ++frame) {
        advance(1.0 / 60);
        const auto partial = drawPanel();
        if (frame % 7 != 0) continue;
        const std::size_t drawn = views().statistics().drawn;
        views().setNeedsDisplay();
        EXPECT_EQ(partial, drawPanel()) << "frame " << frame;
        EXPECT_LT(drawn * 2, views().statistics().drawn) << "frame " << frame;
        drawPanel();
    }
}

TEST_F(CoversSectionTest, ReduceMotionHidesTheBarAtOnceButTheUndoBarStillDrains) {
    start();
    simWorkspace().setReduceMotion(true);
    manager()->createCover();
    advance(0.3);
    click(labelled("Close all covers"));
    advance(0.01);
    EXPECT_DOUBLE_EQ(labelled("Save as layout").opacity(), 0);
    advance(0.5);
    const auto link = labelled("Undo close all");
    ASSERT_DOUBLE_EQ(link.opacity(), 1);
    const auto bar = views().find(ui::Query::byIdentifier("UndoCloseAllLink.bar"));
    advance(4);
    EXPECT_NEAR(bar.frame().width() / link.frame().width(), 0.5, 0.03);
}

TEST_F(CoversSectionTest, TheKeysOfTheKeyPanelCreateOpenSettingsAndQuit) {
    start();
    key(45, "n", ModifierFlags::command);
    EXPECT_EQ(manager()->overlays.peek().size(), 1u);
    key(43, ",", ModifierFlags::command);
    EXPECT_EQ(simApplication().openedScenes(), std::vector<std::string>{"settings"});
    EXPECT_FALSE(isMenuPanelOnScreen()) << "the settings window took the keyboard";
    key(45, "n", ModifierFlags::command);
    EXPECT_EQ(manager()->overlays.peek().size(), 1u) << "only while the panel is key";
    open();
    key(12, "q", ModifierFlags::command);
    EXPECT_TRUE(simApplication().isTerminated());
}

}  // namespace
}  // namespace talvori::testing
