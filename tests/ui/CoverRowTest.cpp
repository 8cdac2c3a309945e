#include "CoverRowFixture.hpp"
#include "UiTest.hpp"

namespace talvori::ui::testing {
namespace {

using namespace fixture;

class CoverRowTest : public UiTest {
  protected:
    std::shared_ptr<CoverManager> manager = managerWithCovers(3);
    std::shared_ptr<Host> card = host(CoversCard{manager});

    NodeRef rowButton(const std::string& label, int row) {
        const auto buttons = card->findAll(Query::byLabel(label));
        return buttons.at(static_cast<std::size_t>(row));
    }
};

TEST_F(CoverRowTest, LaysOutSwatchNameAndButtons) {
    EXPECT_EQ(card->size(), (Size{355, 36 * 3 + 16}));
    const auto name = card->find(Query::byText("Overlay 2"));
    // Padding 10, then the 26-point swatch slot.
    EXPECT_TRUE(near(name.frame(), {36, 44 + 18 - 7.2, 9 * 7.2, 14.4}));
    EXPECT_EQ(name.foregroundColor(), Color::white(0.8));
    // Each button is its 13.2-point icon with 6 points around it, at the trailing end.
    EXPECT_TRUE(near(rowButton("Close cover", 1).frame(), {355 - 10 - 25.2, 44 + 5.4, 25.2, 25.2}));
    EXPECT_TRUE(
        near(rowButton("Rename cover", 1).frame(), {355 - 10 - 50.4, 44 + 5.4, 25.2, 25.2}));
}

TEST_F(CoverRowTest, RenamesThroughTheFieldAndTrimsTheName) {
    rowButton("Rename cover", 1).click();
    runUntilIdle();
    const auto field = card->find(Query::byLabel("Name"));
    ASSERT_TRUE(field);
    EXPECT_EQ(field.text(), "Overlay 2");
    EXPECT_TRUE(card->hasFocusedTextField());

    card->press(Key::character, Modifiers::none);  // no characters: ignored
    card->keyDown(KeyPress::character("a", Modifiers::command));
    card->type("  Dimmer \u00e9  ");
    EXPECT_EQ(field.text(), "  Dimmer \u00e9  ");
    card->press(Key::returnKey);
    runUntilIdle();

    EXPECT_EQ(manager->covers.peek()[1]->name.peek(), "Dimmer \u00e9");
    EXPECT_FALSE(card->find(Query::byLabel("Name")));
    EXPECT_TRUE(card->find(Query::byText("Dimmer \u00e9")));
    EXPECT_FALSE(card->hasFocusedTextField());
}

TEST_F(CoverRowTest, EscapeCancelsAndBlankNamesAreRefused) {
    rowButton("Rename cover", 0).click();
    runUntilIdle();
    card->keyDown(KeyPress::character("a", Modifiers::command));
    card->type("Other");
    card->press(Key::escape);
    runUntilIdle();
    EXPECT_EQ(manager->covers.peek()[0]->name.peek(), "Overlay 1");

    rowButton("Rename cover", 0).click();
    runUntilIdle();
    EXPECT_EQ(card->find(Query::byLabel("Name")).text(), "Overlay 1");
    card->keyDown(KeyPress::character("a", Modifiers::command));
    card->type("   ");
    card->press(Key::returnKey);
    runUntilIdle();
    EXPECT_EQ(manager->covers.peek()[0]->name.peek(), "Overlay 1");
    EXPECT_FALSE(card->find(Query::byLabel("Name")));
}

TEST_F(CoverRowTest, HoveringHighlightsTheCoverAndTheButton) {
    const auto& cover = manager->covers.peek()[2];
    const auto close = rowButton("Close cover", 2);
    EXPECT_EQ(close.foregroundColor(), Color::white(0.35));
    close.hover();
    runUntilIdle();
    EXPECT_TRUE(cover->isHighlighted.peek());
    EXPECT_EQ(close.foregroundColor(), Color::white(0.7));
    card->mouseMoved({100, 500});
    runUntilIdle();
    EXPECT_FALSE(cover->isHighlighted.peek());
    EXPECT_EQ(close.foregroundColor(), Color::white(0.35));
}

TEST_F(CoverRowTest, AnIdleCardLeavesTheRunLoopAsleep) {
    rowButton("Close cover", 2).hover();
    withAnimation(Animation::easeOut(0.2), [&] { manager->covers.peek()[0]->name.set("Notes"); });
    rowButton("Rename cover", 1).click();
    runUntilIdle();
    advance(1);
    ASSERT_TRUE(card->hasFocusedTextField());
    const auto wakeUps = platform().runLoop().wakeUpCount();
    advance(10);
    EXPECT_EQ(platform().runLoop().wakeUpCount(), wakeUps);
}

TEST_F(CoverRowTest, ClosingSlidesTheRowOutAndMovesTheNextUp) {
    const auto closing = card->find(Query::byText("Overlay 2"));
    const auto next = card->find(Query::byText("Overlay 3"));
    const double rowX = closing.frame().minX();
    const double nextY = next.frame().minY();
    rowButton("Close cover", 1).click();
    runUntilIdle();

    EXPECT_EQ(manager->covers.peek().size(), 2u);
    // The row leaves by the leading edge while fading, over the 0.15 s ease-out of the close.
    EXPECT_DOUBLE_EQ(closing.opacity(), 1);
    EXPECT_DOUBLE_EQ(closing.frame().minX(), rowX);
    advance(0.075);
    const double progress = Animation::easeOut(0.15).progress(0.075);
    EXPECT_NEAR(closing.opacity(), 1 - progress, 1e-6);
    EXPECT_NEAR(closing.frame().minX(), rowX - 355 * progress, 1e-6);
    EXPECT_NEAR(next.frame().minY(), nextY - 44 * progress, 1e-6);
    // A leaving row takes no clicks.
    EXPECT_EQ(manager->covers.peek().size(), 2u);
    advance(0.075);
    EXPECT_FALSE(card->find(Query::byText("Overlay 2")));
    EXPECT_FALSE(closing);
    EXPECT_DOUBLE_EQ(next.frame().minY(), nextY - 44);
    EXPECT_EQ(card->size().height, 36 * 2 + 8);
}

TEST_F(CoverRowTest, ReduceMotionClosesAtOnce) {
    reduceMotion_ = true;
    rowButton("Close cover", 0).click();
    runUntilIdle();
    EXPECT_FALSE(card->find(Query::byText("Overlay 1")));
}

TEST_F(CoverRowTest, ClosingAllFadesAndSlidesTheRowAndStopsThePointer) {
    const auto row = card->find(Query::byText("Overlay 1"));
    const double rowX = row.frame().minX();
    withAnimation(Animation::easeOut(0.35), [&] {
        manager->isClosingAll.set(true);
        manager->closingIds.set({manager->covers.peek()[0]->id.uuidString()});
    });
    runUntilIdle();
    advance(0.35);
    EXPECT_DOUBLE_EQ(row.opacity(), 0);
    EXPECT_DOUBLE_EQ(row.frame().minX(), rowX - 360);
    EXPECT_DOUBLE_EQ(card->find(Query::byText("Overlay 2")).opacity(), 1);
    rowButton("Close cover", 1).click();
    runUntilIdle();
    EXPECT_EQ(manager->covers.peek().size(), 3u);
}

// Renames, hovers and closes, returning pictures before, during and after the removal.
std::vector<std::vector<unsigned char>> runScenario() {
    Platform::install(Platform::makeVirtual());
    auto desktop = sim::SimDesktop::install(platform(), {});
    auto manager = managerWithCovers(3);
    Host::Options options;
    options.textMeasurer = std::make_shared<FixedTextMeasurer>();
    auto card = Host::make(CoversCard{manager}, options);
    auto& clock = *platform().virtualClock();
    card->findAll(Query::byLabel("Rename cover"))[0].click();
    clock.runUntilIdle();
    card->keyDown(KeyPress::character("a", Modifiers::command));
    card->type("Renamed");
    card->press(Key::returnKey);
    clock.runUntilIdle();
    card->findAll(Query::byLabel("Close cover"))[1].hover();
    clock.runUntilIdle();
    std::vector<std::vector<unsigned char>> pictures{card->renderPNG(2)};
    card->findAll(Query::byLabel("Close cover"))[1].click();
    clock.runUntilIdle();
    clock.advance(0.075);
    pictures.push_back(card->renderPNG(2));
    clock.advance(0.1);
    pictures.push_back(card->renderPNG(2));
    card.reset();
    desktop.reset();
    Platform::uninstall();
    return pictures;
}

TEST(CoverRowPictureTest, TheSameRunGivesTheSamePictures) {
    const auto first = runScenario();
    const auto second = runScenario();
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_GT(first[i].size(), 1000u);
        EXPECT_EQ(first[i], second[i]) << "picture " << i;
    }
    EXPECT_NE(first[0], first[1]);
}

}  // namespace
}  // namespace talvori::ui::testing
