#include "UiTest.hpp"
#include "ui/TextMeasurer.hpp"
#include "ui/ViewDimensions.hpp"

namespace talvori::ui::testing {
namespace {

using LayoutTest = UiTest;

// Fixed metrics that remember every width each text was asked for, and what it answered.
class RecordingMeasurer final : public TextMeasurer {
  public:
    struct Request {
        std::optional<double> width;
        Size answer;
    };
    std::shared_ptr<const TextLayout> layout(std::string_view text, const TextStyle& style,
                                             std::optional<double> maxWidth) override {
        auto result = fixed_.layout(text, style, maxWidth);
        requests[std::string(text)].push_back({maxWidth, result->size});
        return result;
    }
    std::map<std::string, std::vector<Request>> requests;

  private:
    FixedTextMeasurer fixed_;
};

TEST_F(LayoutTest, HorizontalStackGivesSpacersWhatFixedChildrenLeave) {
    auto h = host(HStack(0,
                         {
                             View(Color::white()).frame(20, 10).accessibilityIdentifier("left"),
                             Spacer(),
                             View(Color::white()).frame(30, 10).accessibilityIdentifier("right"),
                         }),
                  Size{200, 40});
    EXPECT_TRUE(near(h->find(Query::byIdentifier("left")).frame(), {0, 15, 20, 10}));
    EXPECT_TRUE(near(h->find(Query::byIdentifier("right")).frame(), {170, 15, 30, 10}));
}

TEST_F(LayoutTest, LongTextYieldsAllButTheSpacersMinimum) {
    // 12 pt fixed metrics: 7.2 per character.
    auto h = host(HStack(0,
                         {
                             Text("A rather long cover name that cannot fit")
                                 .font(Font::system(12))
                                 .lineLimit(1),
                             Spacer(8),
                             View(Color::white()).frame(20, 20).accessibilityIdentifier("button"),
                         }),
                  Size{200, 36});
    const auto text = h->find(Query::byText("A rather long cover name that cannot fit"));
    EXPECT_NEAR(text.frame().width(), 172 - 172 % 1, 7.2);
    EXPECT_LE(text.frame().maxX(), 172.0001);
    EXPECT_TRUE(text.text().ends_with("\u2026"));
    EXPECT_TRUE(near(h->find(Query::byIdentifier("button")).frame(), {180, 8, 20, 20}));
}

TEST_F(LayoutTest, DefaultSpacingIsEightPoints) {
    auto h = host(VStack(HorizontalAlignment::leading,
                         {
                             View(Color::white()).frame(10, 10).accessibilityIdentifier("a"),
                             View(Color::white()).frame(20, 10).accessibilityIdentifier("b"),
                         }));
    EXPECT_EQ(h->size(), (Size{20, 28}));
    EXPECT_TRUE(near(h->find(Query::byIdentifier("b")).frame(), {0, 18, 20, 10}));
}

TEST_F(LayoutTest, PaddingMayBeNegative) {
    auto h = host(View(Color::white())
                      .frame(20, 20)
                      .padding(-6)
                      .accessibilityIdentifier("grown")
                      .padding(10));
    EXPECT_EQ(h->size(), (Size{28, 28}));
    EXPECT_TRUE(near(h->find(Query::byIdentifier("grown")).frame(), {10, 10, 8, 8}));
}

TEST_F(LayoutTest, FlexibleFramesFollowTheirBounds) {
    auto h = host(
        VStack(0,
               {
                   Text("5").frame({.minWidth = 32}).accessibilityIdentifier("badge"),
                   Text("wide")
                       .frame({.maxWidth = infinity, .alignment = Alignment::leading()})
                       .accessibilityIdentifier("wide"),
                   View(Color::white()).frame({.maxHeight = 30}).accessibilityIdentifier("capped"),
               }),
        Size{100, 200});
    EXPECT_EQ(h->find(Query::byIdentifier("badge")).frame().width(), 32);
    EXPECT_EQ(h->find(Query::byIdentifier("wide")).frame().width(), 100);
    EXPECT_EQ(h->find(Query::byText("wide")).frame().minX(), 0);
    EXPECT_EQ(h->find(Query::byIdentifier("capped")).frame().height(), 30);
}

TEST_F(LayoutTest, FittingSizeUsesIdealSizes) {
    auto content = VStack(HorizontalAlignment::leading, 2,
                          {
                              Text("Hello").font(Font::system(10)),
                              Text("Wider line").font(Font::system(10)),
                          })
                       .padding(EdgeInsets{8, 12, 8, 12});
    auto h = host(content);
    EXPECT_NEAR(h->fittingSize().width, 10 * 6 + 24, 1e-9);
    EXPECT_NEAR(h->fittingSize().height, 12 + 2 + 12 + 16, 1e-9);
}

TEST_F(LayoutTest, TextWrapsToItsWidthUpToItsLineLimit) {
    auto h = host(
        Text("one two three four five").font(Font::system(10)).lineLimit(2).frame({.width = 60}));
    // 10 characters per line at 6 points each.
    EXPECT_EQ(h->find(Query::byText("one two three four five")).text(), "one two\nthree fou\u2026");
    EXPECT_EQ(h->size().height, 24);
}

TEST_F(LayoutTest, TrackedTextFitsOnOneLineAtItsOwnWidth) {
    // The font's real metrics: the spacing after the last letter is where a break crept in.
    auto h = Host::make(VStack(HorizontalAlignment::leading,
                               {Text("APPEARANCE").font(Font::system(10)).tracking(0.4)})
                            .frame({.width = 300}));
    const auto* layout = shownTextLayout(*h->find(Query::byText("APPEARANCE")).node());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->lineCount, 1);
}

TEST_F(LayoutTest, FixedSizeKeepsTheIdealWidth) {
    auto h = host(HStack(0, {Text("no wrapping here").font(Font::system(10)).fixedSize()}),
                  Size{50, 20});
    EXPECT_EQ(h->find(Query::byText("no wrapping here")).frame().width(), 96);
}

TEST_F(LayoutTest, BackgroundAndOverlayTakeTheContentsSize) {
    auto h = host(Text("abc")
                      .font(Font::system(10))
                      .padding(4)
                      .background(View(Color::black()).accessibilityIdentifier("back"))
                      .overlay(Circle().frame(4, 4).accessibilityIdentifier("dot"),
                               Alignment::topTrailing()));
    EXPECT_TRUE(near(h->find(Query::byIdentifier("back")).frame(), {0, 0, 26, 20}));
    EXPECT_TRUE(near(h->find(Query::byIdentifier("dot")).frame(), {22, 0, 4, 4}));
}

TEST_F(LayoutTest, PositionCentresTheViewAndOffsetMovesOnlyTheDrawing) {
    auto h = host(
        ZStack({
            View(Color::white()).frame(10, 10).accessibilityIdentifier("placed").position(30, 40),
            View(Color::white()).frame(10, 10).accessibilityIdentifier("moved").offset(5, -5),
        }),
        Size{100, 100});
    EXPECT_TRUE(near(h->find(Query::byIdentifier("placed")).frame(), {25, 35, 10, 10}));
    const auto moved = h->find(Query::byIdentifier("moved"));
    EXPECT_TRUE(near(moved.layoutFrame(), {45, 45, 10, 10}));
    EXPECT_TRUE(near(moved.frame(), {50, 40, 10, 10}));
}

TEST_F(LayoutTest, ZStackAlignsItsLayers) {
    auto h = host(ZStack(Alignment::bottomTrailing(),
                         {
                             View(Color::black()).frame(40, 30),
                             View(Color::white()).frame(10, 10).accessibilityIdentifier("corner"),
                         }));
    EXPECT_EQ(h->size(), (Size{40, 30}));
    EXPECT_TRUE(near(h->find(Query::byIdentifier("corner")).frame(), {30, 20, 10, 10}));
}

TEST_F(LayoutTest, BaselineAlignmentLinesUpTexts) {
    auto h = host(HStack(VerticalAlignment::firstTextBaseline, 0,
                         {
                             Text("big").font(Font::system(20)),
                             Text("small").font(Font::system(10)),
                         }));
    // Baselines lie 20 and 10 points below the tops.
    EXPECT_EQ(h->find(Query::byText("big")).frame().minY(), 0);
    EXPECT_EQ(h->find(Query::byText("small")).frame().minY(), 10);
}

TEST_F(LayoutTest, ScrollViewShowsAtMostItsMaximumHeightAndScrolls) {
    ViewList rows;
    for (int i = 0; i < 10; ++i)
        rows.push_back(
            View(Color::white()).frame(50, 40).accessibilityIdentifier("row" + std::to_string(i)));
    auto h = host(ScrollView(VStack(0, rows)).frame({.maxHeight = 180}));
    EXPECT_EQ(h->size(), (Size{50, 180}));
    EXPECT_TRUE(h->scrollWheel({25, 90}, 1000));
    runUntilIdle();
    EXPECT_EQ(h->find(Query::byIdentifier("row9")).frame().maxY(), 180);
    EXPECT_FALSE(h->scrollWheel({25, 90}, 10));
}

TEST_F(LayoutTest, GeometryReaderBuildsFromItsSize) {
    auto h = host(GeometryReader([](Size size) {
                      return View(Color::white())
                          .frame(size.width * 0.25, size.height)
                          .accessibilityIdentifier("bar");
                  }).frame(200, 10));
    EXPECT_TRUE(near(h->find(Query::byIdentifier("bar")).frame(), {0, 0, 50, 10}));
}

TEST_F(LayoutTest, AGeometryReaderBuildsAgainOnlyForANewSizeOrANewReader) {
    Observable<double> width{200};
    Observable<int> count{0};
    int builds = 0;
    struct Counter {
        Observable<int>* count;
        View body(ViewContext<NoState>&) const { return Text(std::to_string((*count)())); }
    };
    struct Bar {
        Observable<double>* width;
        int* builds;
        View body(ViewContext<NoState>&) const {
            return GeometryReader([builds = builds](Size size) {
                       ++*builds;
                       return View(Color::white())
                           .frame(size.width * 0.25, size.height)
                           .accessibilityIdentifier("bar");
                   })
                .frame((*width)(), 10);
        }
    };
    auto h = host(VStack({Counter{&count}, Bar{&width, &builds}}));
    EXPECT_EQ(builds, 1);
    count.set(1);
    runUntilIdle();
    EXPECT_EQ(h->find(Query::byText("1")).text(), "1");
    EXPECT_EQ(builds, 1);
    width.set(100);
    runUntilIdle();
    EXPECT_EQ(builds, 2);
    EXPECT_EQ(h->find(Query::byIdentifier("bar")).frame().width(), 25);
}

TEST_F(LayoutTest, SizeChangesAreReportedAfterLayout) {
    Observable<double> width{40};
    std::vector<Size> reported;
    struct Box {
        Observable<double>* width;
        std::vector<Size>* reported;
        View body(ViewContext<NoState>&) const {
            return View(Color::white())
                .frame((*width)(), 10)
                .onSizeChange([reported = reported](Size size) { reported->push_back(size); });
        }
    };
    auto h = host(Box{&width, &reported});
    width.set(60);
    runUntilIdle();
    EXPECT_EQ(reported, (std::vector<Size>{{40, 10}, {60, 10}}));
    std::vector<Size> layouts;
    h->onLayout = [&](Size size) { layouts.push_back(size); };
    width.set(70);
    runUntilIdle();
    EXPECT_EQ(layouts, (std::vector<Size>{{70, 10}}));
}

TEST_F(LayoutTest, AlignmentGuidesLineViewsUpByWhatTheyDeclare) {
    // A bullet: a dot whose bottom sits 3 points above the first baseline of a wrapped text
    // (12 pt fixed metrics: baseline 12, lines 14.4 high).
    auto h = host(HStack(VerticalAlignment::firstTextBaseline, 8,
                         {
                             Circle()
                                 .fill(Color::white())
                                 .frame(3, 3)
                                 .alignmentGuide(VerticalAlignment::firstTextBaseline,
                                                 [](const ViewDimensions& d) {
                                                     return d[VerticalAlignment::bottom] + 3;
                                                 })
                                 .accessibilityIdentifier("dot"),
                             Text("A bullet long enough to wrap").font(Font::system(12)),
                         })
                      .frame({.width = 100}));
    const Rect dot = h->find(Query::byIdentifier("dot")).frame();
    const Rect text = h->find(Query::byText("A bullet long enough to wrap")).frame();
    EXPECT_DOUBLE_EQ(dot.maxY(), text.minY() + 12 - 3);
    EXPECT_GT(text.height(), 14.4) << "wrapped";

    // A label and a field lined up by the field's leading guide, 20 points into it.
    auto column = host(VStack(HorizontalAlignment::leading, 0,
                              {
                                  Text("Label").frame(50, 10).accessibilityIdentifier("label"),
                                  View(Color::white())
                                      .frame(80, 10)
                                      .alignmentGuide(HorizontalAlignment::leading,
                                                      [](const ViewDimensions&) { return 20.0; })
                                      .padding(Edges::leading, 5)
                                      .accessibilityIdentifier("field"),
                              }));
    const Rect label = column->find(Query::byIdentifier("label")).frame();
    const Rect field = column->find(Query::byIdentifier("field")).frame();
    EXPECT_EQ(field.minX() + 5 + 20, label.minX());
    EXPECT_EQ(field.minX(), 0);
    EXPECT_EQ(column->size().width, 85);
}

TEST_F(LayoutTest, StacksMeasureChildrenOnlyForAnswersTheyUse) {
    // A settings row: a title over a wrapping subtitle, beside a control; and a text alone beside
    // a spacer, which has no other child to be ordered against.
    auto measurer = std::make_shared<RecordingMeasurer>();
    Host::Options options;
    options.textMeasurer = measurer;
    options.size = Size{160, 200};
    const auto h =
        Host::make(VStack(HorizontalAlignment::leading, 0,
                          {HStack(0, {VStack(HorizontalAlignment::leading, 0,
                                             {Text("Title").font(Font::system(12)),
                                              Text("A subtitle that wraps").font(Font::system(12))})
                                          .fixedSize(false, true),
                                      Spacer(8), View(Color::white()).frame(40, 20)}),
                           HStack(0, {Text("Alone").font(Font::system(12)), Spacer()})}),
                   options);

    // The row is ordered by how far its children shrink: the subtitle is asked at no width. It is
    // never asked again at the width that gave, only to learn that it sets no alignment guide.
    const auto& subtitle = measurer->requests.at("A subtitle that wraps");
    const auto least = std::find_if(subtitle.begin(), subtitle.end(),
                                    [](const auto& request) { return request.width == 0.0; });
    ASSERT_NE(least, subtitle.end());
    for (const auto& request : subtitle) EXPECT_NE(request.width, least->answer.width);
    EXPECT_TRUE(
        near(h->find(Query::byText("A subtitle that wraps")).frame(), {0, 14.4, 108, 28.8}));
    for (const auto& request : measurer->requests.at("Alone")) EXPECT_NE(request.width, 0.0);
    EXPECT_TRUE(near(h->find(Query::byText("Alone")).frame(), {0, 43.2, 36, 14.4}));

    // A guide below a frame, a background and a view of its own still lines its view up.
    struct Field {
        View body(ViewContext<NoState>&) const {
            return View(Color::white())
                .frame(80, 10)
                .alignmentGuide(HorizontalAlignment::leading,
                                [](const ViewDimensions&) { return 20.0; })
                .background(Color::black())
                .accessibilityIdentifier("field");
        }
    };
    auto column =
        host(VStack(HorizontalAlignment::leading, 0,
                    {Text("Label").frame(50, 10).accessibilityIdentifier("label"),
                     View(Field{}).frame({.width = 100, .alignment = Alignment::leading()})}));
    EXPECT_EQ(column->find(Query::byIdentifier("field")).frame().minX() + 20,
              column->find(Query::byIdentifier("label")).frame().minX());
}

TEST_F(LayoutTest, AMeasurerLaysOutTheSameTextInTheSameStyleOnce) {
    for (const auto& measurer : std::vector<std::shared_ptr<TextMeasurer>>{
             std::make_shared<FixedTextMeasurer>(), std::make_shared<PangoTextMeasurer>()}) {
        const TextStyle style{Font::system(12), 0, 2, TextAlignment::center, true, 4};
        const auto first = measurer->layout("Release notes", style, 80.0);
        EXPECT_EQ(measurer->layout("Release notes", style, 80.0), first);
        TextStyle plain = style;
        plain.underline = false;
        EXPECT_NE(measurer->layout("Release notes", plain, 80.0), first);
    }
}

TEST_F(LayoutTest, ATextThatFitsIsShapedOnceForEveryWidthItFitsIn) {
    PangoTextMeasurer pango;
    const TextStyle style{Font::system(12), 0, 1, TextAlignment::leading};
    const auto natural = pango.layout("Release notes", style, std::nullopt);
    EXPECT_EQ(pango.layout("Release notes", style, natural->size.width), natural);
    EXPECT_EQ(pango.layout("Release notes", style, 400.0), natural);
    const auto narrow = pango.layout("Release notes", style, natural->size.width / 2);
    EXPECT_NE(narrow, natural);
    EXPECT_LT(narrow->size.width, natural->size.width) << "cut with an ellipsis";
    EXPECT_TRUE(narrow->isTruncated);
}

}  // namespace
}  // namespace talvori::ui::testing
