#include "app/PanelTest.hpp"
#include "platform/desktop/HotKeyModifiers.hpp"
#include "reminder/UpdateReminder.hpp"

namespace talvori::testing {
namespace {

class PanelRootTest : public PanelTest {
  protected:
    static constexpr std::uint16_t kUpArrow = 126;
    UpdateReminder& reminder() const { return *UpdateReminder::shared(); }
    // The header's divider, one point above the header's bottom edge, on screen.
    Color dividerColor(const sim::ScreenPicture& shot) const {
        const Rect quit = *labelled("Quit Talvori").frameOnScreen();
        return shot.colorAt({menuPanel()->frame().minX() + 100, quit.minY() - 12 + 0.5});
    }
};

TEST_F(PanelRootTest, TheUpdateRowReplacesTheWhatsNewCardWhichDismissesForGood) {
    defaults().set(UpdateReminder::kWhatsNewVersionKey, std::string("1.2.3"));
    reminder().setWhatsNewVersion("1.2.3");
    start();
    ASSERT_TRUE(labelled("Dismiss what\u2019s new").exists());
    EXPECT_NEAR(dividerColor(picture("whats-new")).blue, 80.0 / 255, 0.02);

    reminder().setPendingUpdate(UpdateReminder::PendingUpdate{"1.3", "130", std::nullopt});
    advance(0.3);
    EXPECT_TRUE(text("Talvori 1.3 is ready").exists());
    EXPECT_FALSE(labelled("Dismiss what\u2019s new").exists()) << "not while an update waits";
    const Color tinted = dividerColor(picture("update-row"));
    EXPECT_GT(tinted.red, tinted.blue) << "the accent tints the divider";

    reminder().setPendingUpdate(std::nullopt);
    advance(0.3);
    click(labelled("Dismiss what\u2019s new"));
    advance(0.3);
    EXPECT_FALSE(labelled("Dismiss what\u2019s new").exists());
    EXPECT_FALSE(reminder().whatsNewVersion().peek());
    EXPECT_FALSE(defaults().string(UpdateReminder::kWhatsNewVersionKey));
}

// The card names a Focus shortcut only while it reaches us: not one the desktop holds or the user
// cleared.
TEST_F(PanelRootTest, TheWhatsNewCardNamesOnlyTheFocusShortcutsThatWork) {
    simHotKeys().holdForOtherProgram(
        {kUpArrow, HotKeyModifiers::option | HotKeyModifiers::command});
    reminder().setWhatsNewVersion("1.2.2");
    start();
    EXPECT_TRUE(text("\u2325\u2318\u2193 turns Focus down.").exists());
    EXPECT_FALSE(text("\u2325\u2318\u2191 and \u2325\u2318\u2193 turn Focus up or down.").exists());

    ShortcutNames::weakerFocus().setShortcut(std::nullopt);
    advance(0.3);
    EXPECT_FALSE(text("\u2325\u2318\u2193 turns Focus down.").exists());
    EXPECT_TRUE(text("Focus Mode remembers your settings.").exists());
}

TEST_F(PanelRootTest, APanelTallerThanTheScreenStopsAtItsMarginAndScrollsToItsLastLayout) {
    start();
    for (int index = 0; index < 20; ++index) manager()->createCover();
    for (int index = 0; index < 12; ++index) manager()->saveCurrentAsPreset("Layout");
    advance(1);
    const Rect visible = platform().screens().mainScreen()->visibleFrame;
    const Rect panel = menuPanel()->frame();
    EXPECT_EQ(panel.maxY(), statusItem().frameOnScreen().minY() - 6) << "the top edge stays";
    EXPECT_EQ(panel.minY(), visible.minY() + 8);

    const auto lastDelete = [this] {
        return views().findAll(ui::Query::byLabel("Delete layout")).back();
    };
    ASSERT_LT(lastDelete().frameOnScreen()->minY(), panel.minY()) << "below the screen at first";
    for (int turn = 0; turn < 40; ++turn) input().scrollWheel({panel.midX(), panel.midY()}, 50);
    advance(0.5);
    EXPECT_GT(lastDelete().frameOnScreen()->minY(), panel.minY());
    click(lastDelete());
    EXPECT_EQ(views().findAll(ui::Query::byText("Delete layout (5s)")).size(), 1u);

    // With fewer covers the panel takes its content's height again.
    manager()->closeAll();
    advance(4);
    ASSERT_TRUE(isMenuPanelOnScreen());
    EXPECT_GT(menuPanel()->frame().minY(), visible.minY() + 8);
    EXPECT_EQ(menuPanel()->frame().maxY(), panel.maxY());
}

// The panel's states as a person sees them; with TALVORI_PICTURES set they are written there.
TEST_F(PanelRootTest, ThePanelsStatesShowOnScreen) {
    start();
    const Color ink = Color::rgb255(21, 24, 32);
    const Point inside{menuPanel()->frame().minX() + 4, menuPanel()->frame().maxY() - 20};
    EXPECT_EQ(picture("panel-empty").colorAt(inside), ink);

    for (int index = 0; index < 3; ++index) manager()->createCover();
    advance(0.3);
    manager()->overlays.peek()[1]->setEffectType(EffectType::solid);
    manager()->overlays.peek()[1]->setColor({0.9, 0.3, 0.2, 1});
    advance(0.3);
    const auto shot = picture("panel-three-covers");
    const Rect row = *text("Overlay 2").frameOnScreen();
    const Color swatch = shot.colorAt({row.minX() - 16, row.midY()});
    EXPECT_GT(swatch.red, 0.8) << "the solid cover's swatch shows its colour";

    click(labelled("Save as layout"));
    advance(0.3);
    click(labelled("Save as layout"));
    advance(0.3);
    click(labelled("Activate layout"));
    advance(0.6);
    manager()->overlays.peek()[0]->rename("Renamed");
    manager()->overlays.peek()[2]->setOpacity(0.3);
    advance(0.3);
    picture("panel-pending-changes");
    ASSERT_TRUE(text("Save to layout").exists());

    click(views().findAll(ui::Query::byLabel("Delete layout")).back());
    advance(0.3);
    EXPECT_DOUBLE_EQ(views().findAll(ui::Query::byText("Delete layout (5s)")).back().opacity(), 1);
    picture("panel-delete-confirmation");
    click(views().findAll(ui::Query::byLabel("Keep")).back());
    advance(0.3);

    click(labelled("Close all covers"));
    advance(3);
    picture("panel-undo-bar");
    EXPECT_DOUBLE_EQ(labelled("Undo close all").opacity(), 1);
    EXPECT_DOUBLE_EQ(text("No active covers").opacity(), 0);
}

}  // namespace
}  // namespace talvori::testing
