#include "CoverRowFixture.hpp"
#include "WindowedViewTest.hpp"
#include "platform/sim/SimPanel.hpp"
#include "support/HostPixels.hpp"
#include "ui/SizeAnswers.hpp"

namespace talvori::ui::testing {
namespace {

using namespace fixture;

std::vector<unsigned char> picture(Host& host, double scale) {
    return talvori::testing::drawnPixels(host, scale);
}

// A card of cover rows drawn again after each change, compared with a drawing made from nothing.
class PartialRedrawTest : public UiTest, public ::testing::WithParamInterface<double> {
  protected:
    double scale() const { return GetParam(); }

    // What the kept frame shows after the partial drawings is what a full drawing shows.
    ::testing::AssertionResult drawsAsAFullRedraw(Host& host) {
        const auto partial = picture(host, scale());
        partiallyDrawn = host.statistics().drawn;
        host.setNeedsDisplay();
        const auto full = picture(host, scale());
        keepFrame(host);
        if (partial == full) return ::testing::AssertionSuccess();
        std::size_t differing = 0;
        for (std::size_t i = 0; i < full.size(); ++i) differing += partial[i] != full[i];
        return ::testing::AssertionFailure()
               << differing << " of " << full.size() << " bytes differ from a full redraw";
    }
    // The views a full drawing draws.
    std::size_t fullDrawCount(Host& host) {
        host.setNeedsDisplay();
        picture(host, scale());
        const std::size_t drawn = host.statistics().drawn;
        keepFrame(host);
        return drawn;
    }
    // A full drawing goes straight into the picture; the drawing after it makes the kept frame
    // again, so that the changes that follow are drawn partially.
    void keepFrame(Host& host) { picture(host, scale()); }
    void drawInFull(Host& host) {
        picture(host, scale());
        keepFrame(host);
    }

    std::size_t partiallyDrawn = 0;
    std::shared_ptr<CoverManager> manager = managerWithCovers(6);
    std::shared_ptr<Host> card =
        host(View(CoversCard{manager}).padding(12).background(Color::rgb255(21, 24, 32)));
};

INSTANTIATE_TEST_SUITE_P(Scales, PartialRedrawTest, ::testing::Values(1.0, 2.0));

TEST_P(PartialRedrawTest, AHoveredButtonLaysOutNothingAndRedrawsItsIconOnly) {
    const std::size_t everything = fullDrawCount(*card);
    const Rect pencil = card->findAll(Query::byLabel("Rename cover")).at(2).frame();
    card->mouseMoved(center(pencil));
    runUntilIdle();
    EXPECT_EQ(card->statistics().measured, 0u);
    EXPECT_EQ(card->statistics().placed, 0u);
    const auto damage = card->pendingDamage();
    ASSERT_TRUE(damage);
    for (const Rect& rect : *damage) {
        EXPECT_TRUE(rect.intersects(pencil));
        EXPECT_LT(rect.width(), 2 * pencil.width() + 40);
    }
    EXPECT_TRUE(drawsAsAFullRedraw(*card));
    card->mouseMoved(center(card->findAll(Query::byLabel("Close cover")).at(4).frame()));
    runUntilIdle();
    EXPECT_TRUE(drawsAsAFullRedraw(*card));
    EXPECT_LT(partiallyDrawn * 3, everything);
}

TEST_P(PartialRedrawTest, ChangesFarApartRedrawWhereTheyAreOnly) {
    const std::size_t everything = fullDrawCount(*card);
    // A name at the top left, a button at the bottom right.
    manager->covers.peek()[0]->name.set("Overlay A");
    card->mouseMoved(center(card->findAll(Query::byLabel("Close cover")).at(5).frame()));
    runUntilIdle();
    EXPECT_TRUE(drawsAsAFullRedraw(*card));
    EXPECT_LT(partiallyDrawn * 3, everything);
}

TEST_P(PartialRedrawTest, ATextOfTheSameWidthLaysOutItselfOnly) {
    drawInFull(*card);
    manager->covers.peek()[3]->name.set("Overlay X");
    runUntilIdle();
    EXPECT_EQ(card->statistics().placed, 1u);
    EXPECT_LE(card->statistics().measured, SizeAnswers::kCapacity);
    EXPECT_TRUE(drawsAsAFullRedraw(*card));
    // A longer name is measured up the rows: the card stays as wide, the row as high.
    manager->covers.peek()[3]->name.set("A much longer name");
    runUntilIdle();
    EXPECT_TRUE(card->find(Query::byText("A much longer name")));
    EXPECT_TRUE(drawsAsAFullRedraw(*card));
}

TEST_P(PartialRedrawTest, ARowInsertedWithItsTransitionDrawsAsAFullRedrawThroughout) {
    drawInFull(*card);
    withAnimation(Animation::easeOut(0.2), [&] {
        manager->covers.modify([](auto& covers) {
            covers.insert(covers.begin() + 2, std::make_shared<CoverModel>("Inserted"));
        });
    });
    runUntilIdle();
    for (int frame = 1; frame <= 16; ++frame) {
        advance(1.0 / 60);
        // Frames are drawn one after the other; every fifth is compared.
        if (frame % 5 == 0) {
            EXPECT_TRUE(drawsAsAFullRedraw(*card)) << "frame " << frame;
        } else {
            picture(*card, scale());
        }
    }
    advance(1);
    EXPECT_TRUE(drawsAsAFullRedraw(*card));
}

TEST_P(PartialRedrawTest, AnOpacityAnimationDrawsOnlyItsRowAndAsAFullRedrawAtEveryInstant) {
    const std::size_t everything = fullDrawCount(*card);
    withAnimation(Animation::linear(0.3),
                  [&] { manager->closingIds.set({manager->covers.peek()[1]->id.uuidString()}); });
    runUntilIdle();
    for (const int frames : {3, 6, 6, 12}) {
        for (int frame = 0; frame < frames; ++frame) {
            advance(1.0 / 60);
            picture(*card, scale());
        }
        EXPECT_TRUE(drawsAsAFullRedraw(*card));
        EXPECT_LT(partiallyDrawn * 2, everything);
    }
}

TEST_P(PartialRedrawTest, ASliderDragDrawsAsAFullRedraw) {
    Observable<double> value{0.2};
    struct Scene {
        Observable<double>* value;
        View body(ViewContext<NoState>&) const {
            return VStack(HorizontalAlignment::leading, 6,
                          {Text("Opacity"),
                           View(Slider{(*value)(),
                                       false,
                                       false,
                                       {},
                                       [value = value](double f) { value->set(f); },
                                       {}})
                               .frame({.width = 200})
                               .accessibilityIdentifier("slider"),
                           Text("Below").opacity(0.5)})
                .padding(10);
        }
    };
    auto h = host(Scene{&value});
    drawInFull(*h);
    const Rect track = h->find(Query::byIdentifier("slider")).frame();
    h->mouseDown({track.minX() + 40, track.midY()});
    for (const double x : {60.0, 90.0, 150.0, 10.0}) {
        h->mouseDragged({track.minX() + x, track.midY()});
        runUntilIdle();
        picture(*h, scale());
    }
    h->mouseUp({track.minX() + 10, track.midY()});
    runUntilIdle();
    EXPECT_NEAR(value.peek(), 0.05, 1e-9);
    EXPECT_TRUE(drawsAsAFullRedraw(*h));
}

TEST_P(PartialRedrawTest, AChangeInsideARoundedClipDrawsAsAFullRedraw) {
    // Changes in the middle, on the straight edge and in a corner, with the clip on whole pixels
    // and between them.
    for (const double shift : {0.0, 0.25}) {
        Observable<Color> middle{Color::white()}, edge{Color::white()}, corner{Color::white()};
        struct Scene {
            Observable<Color>*middle, *edge, *corner;
            double shift;
            View body(ViewContext<NoState>&) const {
                return ZStack(Alignment::topLeading(),
                              {Rectangle().fill(Color::rgb255(200, 40, 40)).frame(200, 40),
                               Rectangle().fill((*middle)()).frame(20, 10).offset(90, 15),
                               Rectangle().fill((*edge)()).frame(20, 10).offset(40, 0),
                               Rectangle().fill((*corner)()).frame(10, 10)})
                    .clipShape(RoundedRectangle(12))
                    .offset(shift, shift)
                    .padding(8);
            }
        };
        auto h = host(Scene{&middle, &edge, &corner, shift});
        const std::size_t everything = fullDrawCount(*h);
        for (Observable<Color>* changed : {&middle, &edge, &corner}) {
            changed->set(Color::rgb255(20, 90, 200));
            runUntilIdle();
            EXPECT_TRUE(drawsAsAFullRedraw(*h)) << "shifted by " << shift;
            EXPECT_LT(partiallyDrawn, everything);
        }
    }
}

TEST_P(PartialRedrawTest, AGeometryReaderBuiltAgainRedrawsOnlyWhatItsContentChanged) {
    Observable<double> fraction{0.2};
    struct Scene {
        Observable<double>* fraction;
        View body(ViewContext<NoState>&) const {
            const double at = (*fraction)();
            return GeometryReader([at](Size size) {
                       return ZStack(Alignment::topLeading(),
                                     {Rectangle().fill(LinearGradient::evenly(
                                          {Color::white(), Color::black()}, UnitPoint::leading(),
                                          UnitPoint::trailing())),
                                      Circle()
                                          .fill(Color::rgb255(200, 40, 40))
                                          .frame(10, 10)
                                          .position(at * size.width, size.height / 2)});
                   })
                .frame(200, 100)
                .padding(10);
        }
    };
    auto h = host(Scene{&fraction});
    drawInFull(*h);
    fraction.set(0.6);
    runUntilIdle();
    const auto damage = h->pendingDamage();
    ASSERT_TRUE(damage);
    for (const Rect& rect : *damage) EXPECT_LT(rect.width(), 30) << "the dot, where it was and is";
    EXPECT_TRUE(drawsAsAFullRedraw(*h));
}

// A wide shadow under a card, as a panel casts it: drawn again around changes on the card and
// after changes to what casts it, it shows what a new drawing of the same views shows.
TEST_P(PartialRedrawTest, AShadowDrawnAgainShowsWhatItsContentCastsNow) {
    struct Values {
        Observable<Color> onCard{Color::white()};
        Observable<double> casterWidth{160};
        Observable<Color> casterColor{Color::rgb255(21, 24, 32)};
        Observable<Color> shadowColor{Color::black(0.7)};
    } scene;
    struct Scene {
        Values* v;
        View body(ViewContext<NoState>&) const {
            return ZStack(Alignment::topLeading(),
                          {Rectangle()
                               .fill(v->casterColor())
                               .frame(v->casterWidth(), 120)
                               .shadow(v->shadowColor(), 30, 0, 20),
                           Rectangle().fill(v->onCard()).frame(20, 20).offset(30, 30)})
                .frame(200, 140, Alignment::topLeading())
                .padding(70);
        }
    };
    auto h = host(Scene{&scene});
    drawInFull(*h);
    const std::function<void()> changes[] = {
        [&] { scene.onCard.set(Color::rgb255(20, 90, 200)); },
        [&] { scene.onCard.set(Color::rgb255(200, 90, 20)); },
        [&] { scene.casterWidth.set(120); },
        [&] { scene.onCard.set(Color::white()); },
        // What casts the shadow grows transparent: the shadow around it lightens.
        [&] { scene.casterColor.set(Color::rgb255(21, 24, 32).opacity(0.6)); },
        // What casts the shadow changes with the shadow's colour, which draws all of it again.
        [&] {
            scene.casterColor.set(Color::rgb255(21, 24, 32).opacity(0.4));
            scene.shadowColor.set(Color::black(0.6));
        },
    };
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        changes[i]();
        runUntilIdle();
        EXPECT_TRUE(picture(*h, scale()) == picture(*host(Scene{&scene}), scale()))
            << "after change " << i;
    }
}

TEST_P(PartialRedrawTest, ANewScaleOrSizeDrawsEverything) {
    picture(*card, scale());
    picture(*card, scale() + 1);
    EXPECT_EQ(card->statistics().drawn, fullDrawCount(*card));
    card->setProposedSize(Size{400, 400});
    runUntilIdle();
    EXPECT_FALSE(card->pendingDamage()) << "a new size changes every pixel";
    EXPECT_TRUE(drawsAsAFullRedraw(*card));
}

using FixedSizeLayoutTest = UiTest;

TEST_F(FixedSizeLayoutTest, AChangeInsideAFixedSizeViewLaysOutThatViewOnly) {
    Observable<std::string> name{"short"};
    struct Scene {
        Observable<std::string>* name;
        View body(ViewContext<NoState>&) const {
            ViewList rows;
            for (int i = 0; i < 8; ++i) rows.push_back(Text("Row " + std::to_string(i)));
            rows.push_back(Text((*name)()).frame(120, 20));
            return VStack(HorizontalAlignment::leading, 4, rows).padding(8);
        }
    };
    auto h = host(VStack({Text("Title"), View(Scene{&name})}));
    const Size before = h->size();
    name.set("a name long enough to wrap");
    runUntilIdle();
    EXPECT_EQ(h->size(), before);
    EXPECT_EQ(h->statistics().placed, 2u) << "the frame and its text";
    EXPECT_LE(h->statistics().measured, 1 + SizeAnswers::kCapacity);
    EXPECT_GT(h->find(Query::byText("a name long enough to wrap")).frame().height(), 20)
        << "wrapped inside the frame";
}

// The window is told which part changed, so that only those pixels go to the screen.
class PartialRedrawPanelTest : public WindowedViewTest {};

TEST_F(PartialRedrawPanelTest, TheWindowIsToldWhereTheViewsChanged) {
    auto manager = managerWithCovers(4);
    show(CoversCard{manager}, {100, 100, 355, 200});
    auto& sim = static_cast<sim::SimPanel&>(*panel);
    sim::ScreenPicture::render(world());
    sim.clearDamagedRects();
    const Rect close = views().findAll(Query::byLabel("Close cover")).at(1).frame();
    input().moveMouse(global(center(close)));
    runUntilIdle();
    ASSERT_FALSE(sim.damagedRects().empty());
    for (const Rect& rect : sim.damagedRects()) EXPECT_TRUE(rect.intersects(close));
    // Once drawn, nothing more is asked for.
    sim::ScreenPicture::render(world());
    sim.clearDamagedRects();
    runUntilIdle();
    EXPECT_TRUE(sim.damagedRects().empty());
}

TEST_F(PartialRedrawPanelTest, WhatIsDrawnBetweenFramesIsToldTheWindowAfterwards) {
    Observable<bool> moved{false};
    struct Scene {
        Observable<bool>* moved;
        View body(ViewContext<NoState>&) const {
            return Rectangle()
                .fill(Color::white())
                .frame(20, 20)
                .offset((*moved)() ? 200 : 0, 0)
                .accessibilityIdentifier("box")
                .frame(300, 40, Alignment::leading());
        }
    };
    show(Scene{&moved}, {100, 100, 300, 40});
    auto& sim = static_cast<sim::SimPanel&>(*panel);
    sim::ScreenPicture::render(world());
    withAnimation(Animation::linear(1), [&] { moved.set(true); });
    runUntilIdle();
    advance(1.0 / 60);
    sim.clearDamagedRects();
    // Between two frames: no frame has told the window where the box is now.
    advance(0.01);
    sim::ScreenPicture::render(world());
    runUntilIdle();
    const Rect box = views().find(Query::byIdentifier("box")).frame();
    EXPECT_TRUE(std::any_of(sim.damagedRects().begin(), sim.damagedRects().end(),
                            [&](const Rect& rect) { return rect.intersects(box); }));
}

}  // namespace
}  // namespace talvori::ui::testing
