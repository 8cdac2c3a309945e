#include "UiTest.hpp"

namespace talvori::ui::testing {
namespace {

using DrawingTest = UiTest;

const Color red = Color::rgb(1, 0, 0);
const Color blue = Color::rgb(0, 0, 1);

TEST_F(DrawingTest, ContinuousCornersLeaveTheCornerOpenAndTheEdgesFull) {
    auto h = host(RoundedRectangle(10).fill(red).frame(40, 40));
    EXPECT_TRUE(close(pixel(*h, {0.5, 0.5}), Color::clear()));
    EXPECT_TRUE(close(pixel(*h, {1.5, 1.5}), Color::clear()));
    EXPECT_TRUE(close(pixel(*h, {20, 0.5}), red));
    EXPECT_TRUE(close(pixel(*h, {20, 20}), red));
    // The curve starts further from the corner than a circular one: 1.528 radii.
    auto circular =
        host(RoundedRectangle(10, RoundedCornerStyle::circular).fill(red).frame(40, 40));
    EXPECT_TRUE(close(pixel(*circular, {11.5, 0.5}), red));
    EXPECT_LT(pixel(*h, {11.5, 0.5}).alpha, 0.95);
}

TEST_F(DrawingTest, StrokeBorderLiesInsideAndStrokeOnTheOutline) {
    auto inside = host(Rectangle().strokeBorder(red, 4).frame(20, 20).padding(10));
    EXPECT_TRUE(close(pixel(*inside, {11, 20}), red));
    EXPECT_TRUE(close(pixel(*inside, {13.5, 20}), red));
    EXPECT_TRUE(close(pixel(*inside, {8.5, 20}), Color::clear()));
    auto centred = host(Rectangle().stroke(red, 4).frame(20, 20).padding(10));
    EXPECT_TRUE(close(pixel(*centred, {8.5, 20}), red));
    EXPECT_TRUE(close(pixel(*centred, {13.5, 20}), Color::clear()));
}

TEST_F(DrawingTest, OpacityCompositesTheSubtreeAsOneLayer) {
    auto h =
        host(ZStack({Rectangle().fill(red).frame(20, 20), Rectangle().fill(blue).frame(10, 10)})
                 .opacity(0.5));
    // Where the two overlap only the front one shows, at half opacity.
    EXPECT_TRUE(close(pixel(*h, {10, 10}), blue.opacity(0.5)));
    EXPECT_TRUE(close(pixel(*h, {2, 2}), red.opacity(0.5)));
}

TEST_F(DrawingTest, AnOpacityThatIsNoNumberHasNoEffect) {
    auto h = host(View(red).frame(10, 10).opacity(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(close(pixel(*h, {5, 5}), red));
    EXPECT_DOUBLE_EQ(h->root().opacity(), 1);
}

TEST_F(DrawingTest, ClipShapeCutsTheContent) {
    auto h = host(Rectangle().fill(red).frame(40, 40).clipShape(Circle()));
    EXPECT_TRUE(close(pixel(*h, {2, 2}), Color::clear()));
    EXPECT_TRUE(close(pixel(*h, {20, 20}), red));
}

TEST_F(DrawingTest, LinearGradientsRunAcrossTheShape) {
    auto h = host(Rectangle()
                      .fill(LinearGradient::evenly({Color::black(), Color::white()},
                                                   UnitPoint::leading(), UnitPoint::trailing()))
                      .frame(100, 10));
    EXPECT_LT(pixel(*h, {1, 5}).red, 0.05);
    EXPECT_NEAR(pixel(*h, {50, 5}).red, 0.5, 0.02);
    EXPECT_GT(pixel(*h, {99, 5}).red, 0.95);
}

TEST_F(DrawingTest, IconsAreTintedWithTheForegroundColour) {
    // The cross's lines meet in the middle.
    auto h = host(Image("icon-x").resizable().frame(24, 24).foregroundColor(red));
    EXPECT_TRUE(close(pixel(*h, {12, 12}), red, 0.05));
    EXPECT_TRUE(close(pixel(*h, {12, 2}), Color::clear()));
    auto symbol = host(Image("sun.max").font(Font::system(20)));
    EXPECT_EQ(symbol->size(), (Size{20, 20}));
}

TEST_F(DrawingTest, UnknownIconsDrawNothing) {
    auto h = host(Image("no-such-icon").resizable().frame(24, 24).foregroundColor(red));
    EXPECT_TRUE(close(pixel(*h, {12, 12}), Color::clear()));
    for (const auto& [name, file] : IconCatalog::table()) {
        IconCatalog catalog;
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 16, 16);
        cairo_t* cr = cairo_create(surface);
        EXPECT_TRUE(catalog.draw(cr, name, {0, 0, 16, 16})) << name << " draws " << file;
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
}

TEST_F(DrawingTest, ShadowsFallBelowTheShape) {
    auto h = host(Rectangle().fill(red).frame(20, 20).shadow(Color::black(), 4, 0, 6).padding(20));
    EXPECT_GT(pixel(*h, {30, 44}).alpha, 0.3);
    EXPECT_TRUE(close(pixel(*h, {30, 30}), red));
    EXPECT_LT(pixel(*h, {30, 14}).alpha, 0.05);
}

TEST_F(DrawingTest, ShadowsFollowTheirViewWhereverItIsMoved) {
    const View square = Rectangle().fill(red).frame(20, 20);
    const View aroundMoved = square.offset(100, 40).shadow(Color::black(), 16);
    // The last in a layer of its own, which is cut to the area the subtree says it draws in.
    for (const View& view : {aroundMoved, square.shadow(Color::black(), 16).offset(100, 40),
                             aroundMoved.opacity(0.5)}) {
        auto h =
            host(ZStack(Alignment::topLeading(), {view}).frame(200, 100, Alignment::topLeading()));
        // Twelve points out on every side of the moved square.
        for (const Point beside : {Point{87, 50}, Point{132, 50}, Point{110, 27}, Point{110, 72}})
            EXPECT_GT(pixel(*h, beside).alpha, 0.01) << beside.x << ", " << beside.y;
        EXPECT_GT(pixel(*h, {110, 50}).alpha, 0.45);
        EXPECT_LT(pixel(*h, {10, 10}).alpha, 0.01);
    }
}

TEST_F(DrawingTest, SizesThatAreNoNumbersOrTooLargeForPixelsAreLeftOut) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(host(View(red), Size{nan, nan})->renderPNG().empty());
    for (const double radius : {nan, 1e300}) {
        auto h =
            host(Rectangle().fill(red).frame(20, 20).shadow(Color::black(), radius).padding(20));
        EXPECT_TRUE(close(pixel(*h, {30, 30}), red)) << radius;
        EXPECT_LT(pixel(*h, {30, 44}).alpha, 0.05) << radius;
    }
    auto sizeless = host(Text("Overlay").font(Font::system(0)).frame({.width = 50}));
    EXPECT_EQ(sizeless->find(Query::byText("Overlay")).text(), "Overlay");
    PangoTextMeasurer pango;
    EXPECT_EQ(pango.layout("Overlay", {Font::system(12)}, 1e12)->lineCount, 1);
}

TEST_F(DrawingTest, TangentArcsTouchBothLegs) {
    Path path;
    path.moveTo({0, 0}).addArcTo({10, 0}, {10, 10}, 5).lineTo({10, 10});
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    path.apply(cr);
    cairo_set_line_width(cr, 0.2);
    EXPECT_TRUE(cairo_in_stroke(cr, 5, 0));
    EXPECT_TRUE(cairo_in_stroke(cr, 10, 5));
    EXPECT_TRUE(cairo_in_stroke(cr, 5 + 5 * std::sqrt(0.5), 5 - 5 * std::sqrt(0.5)));
    EXPECT_FALSE(cairo_in_stroke(cr, 9.9, 0.1));
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

TEST_F(DrawingTest, PangoMeasuresTheSystemFont) {
    PangoTextMeasurer pango;
    const auto narrow = pango.layout("iiii", {Font::system(12)}, std::nullopt);
    const auto wide = pango.layout("MMMM", {Font::system(12)}, std::nullopt);
    EXPECT_LT(narrow->size.width, wide->size.width);
    EXPECT_NEAR(narrow->size.height, wide->size.height, 0.01);
    const auto cut =
        pango.layout("A name far too long for its place", {Font::system(12), 0, 1}, 60.0);
    EXPECT_TRUE(cut->isTruncated);
    EXPECT_LE(cut->size.width, 60.05);
    EXPECT_EQ(cut->lineCount, 1);
    // Tabular digits: every digit has one width.
    TextStyle tabular{Font::system(12).monospacedDigit()};
    EXPECT_NEAR(pango.layout("1111", tabular, std::nullopt)->size.width,
                pango.layout("8888", tabular, std::nullopt)->size.width, 0.01);
}

TEST_F(DrawingTest, UnderlinedTextDrawsALineBelowItsBaselineAndLineSpacingSpreadsTheLines) {
    // 20 pt fixed metrics: the baseline 20 points below the top, lines 24 high.
    auto underlined =
        host(Text("MMMM").font(Font::system(20)).foregroundColor(red).underline().padding(4));
    auto plain = host(Text("MMMM").font(Font::system(20)).foregroundColor(red).padding(4));
    double inkUnder = 0, inkPlain = 0;
    for (double y = 4 + 20.5; y < 4 + 24; y += 1) {
        inkUnder += pixel(*underlined, {4 + 20, y}).alpha;
        inkPlain += pixel(*plain, {4 + 20, y}).alpha;
    }
    EXPECT_GT(inkUnder, 0.5);
    EXPECT_LT(inkPlain, 0.1);

    auto spaced =
        host(Text("Two lines").font(Font::system(10)).lineSpacing(4).frame({.width = 40}));
    EXPECT_DOUBLE_EQ(spaced->size().height, 2 * 12 + 4);
    auto unspaced =
        host(Text("Two lines").font(Font::system(10)).lineSpacing(-3).frame({.width = 40}));
    EXPECT_DOUBLE_EQ(unspaced->size().height, 2 * 12);
}

}  // namespace
}  // namespace talvori::ui::testing
