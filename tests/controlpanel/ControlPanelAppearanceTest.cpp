#include <tuple>

#include "controlpanel/ControlPanelAppearanceSection.hpp"
#include "controlpanel/ControlPanelTest.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "support/HostPixels.hpp"

namespace talvori::testing {
namespace {

using Section = ui::ControlPanelAppearanceSection;

// The panel of one solid cover, the pointer on its card.
class ControlPanelAppearanceTest : public ControlPanelTest {
  protected:
    void show(CodableColor color = {1, 0.5, 0, 1}) {
        cover = &addCover({100, 300, 300, 200}, "Overlay 1", color);
        showPanelFor(*cover);
        input().moveMouse(global({150, 30}));
        runUntilIdle();
    }
    // The slider itself, not the caption that may show the same word.
    ui::NodeRef slider(const std::string& label) const {
        for (const auto& found : card().findAll(ui::Query::byLabel(label))) {
            if (ui::accessibilityLabelOf(found.node()->element())) return found;
        }
        return {};
    }
    // Presses the track `from` points from its leading edge and lets go at `to`.
    void drag(const std::string& label, double from, double to) {
        const Rect track = slider(label).frame();
        ASSERT_GT(track.width(), 0) << label;
        input().drag(global({track.minX() + from, track.midY()}),
                     global({track.minX() + to, track.midY()}));
        runUntilIdle();
    }
    double trackWidth(const std::string& label) { return slider(label).frame().width(); }
    // Clicks into the colour field (which shows `text`) and replaces it by typing.
    void typeColor(const std::string& shown, const std::string& text) {
        click(card().find(ui::Query::byText(shown)));
        selectAll();
        typeText(text);
    }
    std::string code() const { return ColorCodeOf(cover->color()); }
    static std::string ColorCodeOf(const CodableColor& color) {
        return CodableColor::opaqueHex({color.red, color.green, color.blue, 1})->first;
    }
    // Presses the picker's square or hue bar at (x, y), fractions of its size, and lets go at
    // (toX, toY), which may lie outside it.
    void pick(const std::string& part, Point from, Point to) {
        const Rect area = card().find(ui::Query::byIdentifier(part)).frame();
        ASSERT_GT(area.width(), 0) << part;
        auto at = [&](Point p) {
            return global({area.minX() + p.x * area.width(), area.minY() + p.y * area.height()});
        };
        input().drag(at(from), at(to));
        runUntilIdle();
    }
    void pick(const std::string& part, Point at) { pick(part, at, at); }

    OverlayViewModel* cover = nullptr;
};

TEST_F(ControlPanelAppearanceTest, SlidersReachTheirEndsExactlyAndAClickJumps) {
    show();
    const double width = trackWidth("Opacity");
    drag("Opacity", width / 2, -40);
    EXPECT_DOUBLE_EQ(cover->opacity(), 0.1);
    EXPECT_TRUE(shows("10%"));
    drag("Opacity", 5, width + 40);
    EXPECT_DOUBLE_EQ(cover->opacity(), 1.0);
    EXPECT_EQ(value("Opacity"), "100 percent");
    drag("Opacity", width / 2, width / 2);
    EXPECT_NEAR(cover->opacity(), 0.55, 1e-9);

    clickText("GLASS");
    drag("Blur radius", width / 2, width + 30);
    EXPECT_DOUBLE_EQ(cover->blurRadius(), 50);
    EXPECT_TRUE(shows("50px"));
    EXPECT_EQ(value("Blur radius"), "50 pixels");
    drag("Blur radius", width / 2, 11);
    EXPECT_DOUBLE_EQ(cover->blurRadius(), 0);
    EXPECT_TRUE(shows("0px"));

    // Where the desktop blurs nothing the slider says so and moves nothing, until blur appears.
    world().setBackgroundBlurAvailable(false);
    runUntilIdle();
    EXPECT_TRUE(shows("Your desktop does not blur"));
    drag("Blur radius", 11, width / 2);
    EXPECT_DOUBLE_EQ(cover->blurRadius(), 0);
    world().setBackgroundBlurAvailable(true);
    runUntilIdle();
    EXPECT_FALSE(shows("Your desktop does not blur"));
    drag("Blur radius", 11, width + 30);
    EXPECT_DOUBLE_EQ(cover->blurRadius(), 50);
}

// A desktop whose blur has a strength of its own (the X11 blur-behind hint has none): the radius
// is offered as no strength, as where nothing blurs.
TEST_F(ControlPanelAppearanceTest, WhereTheDesktopBlursAtItsOwnStrengthTheBlurSliderSaysSo) {
    world().setBlursAtItsOwnStrength(true);
    show();
    clickText("GLASS");
    const double radius = cover->blurRadius();
    drag("Blur radius", 11, trackWidth("Blur radius") / 2);
    EXPECT_DOUBLE_EQ(cover->blurRadius(), radius);
    EXPECT_TRUE(shows("Your desktop blurs at a strength of its own"));
    EXPECT_FALSE(shows(std::to_string(static_cast<int>(radius)) + "px"));
}

TEST_F(ControlPanelAppearanceTest, TheShownPercentIsTheOneTyped) {
    show();
    controller->panel()->makeKey();
    for (const std::string keys : {"29", "57", "58"}) {
        for (char key : keys) typeDigit(key);
        EXPECT_TRUE(shows(keys + "%")) << keys;
        EXPECT_EQ(value("Opacity"), keys + " percent");
        advance(1.1);
    }
    // Truncated all the same: an opacity just below 29 % set elsewhere is 28 %.
    cover->setOpacity(0.2899);
    runUntilIdle();
    EXPECT_TRUE(shows("28%"));
}

TEST_F(ControlPanelAppearanceTest, GlassClosesTheColorBlockAndSolidLeavesItClosed) {
    show();
    openColorBlock();
    EXPECT_TRUE(find("Sample color from screen").exists());
    clickText("GLASS");
    advance(1);
    EXPECT_FALSE(find("Sample color from screen").exists());
    EXPECT_FALSE(find("Show color picker").exists());
    EXPECT_TRUE(find("Blur radius").exists());
    clickText("SOLID");
    advance(1);
    EXPECT_TRUE(find("Show color picker").exists());
    EXPECT_FALSE(find("Sample color from screen").exists());
    EXPECT_FALSE(find("Blur radius").exists());
    EXPECT_DOUBLE_EQ(cover->blurRadius(), 20);
}

TEST_F(ControlPanelAppearanceTest, ColourTextIsReadAsNamesAndShortCodes) {
    for (const std::string text : {"coral", "CORAL", " \tCoral\t", "#coral"}) {
        EXPECT_EQ(Section::normalizedColorCode(text), "FF7F50") << text;
    }
    const std::vector<std::pair<std::string, std::string>> codes{
        {"gray", "808080"},   {"grey", "808080"}, {"green", "00FF00"},
        {"orange", "FF8C00"}, {"F", "FFFFFF"},    {"0", "000000"},
        {"AB", "ABABAB"},     {"f80", "FF8800"},  {"#ff0000", "FF0000"}};
    for (const auto& [text, code] : codes) EXPECT_EQ(Section::normalizedColorCode(text), code);
    for (const std::string text :
         {"FF 000", "FFFF", "FFFFF", "FFFFFFF", "+12345", "-12345", "0x1234", "", "cor"}) {
        EXPECT_FALSE(Section::normalizedColorCode(text)) << text;
    }
    EXPECT_EQ(Section::namedColors().size(), 28u);
}

TEST_F(ControlPanelAppearanceTest, TypingPreviewsLiveAndCommittingNormalisesTheText) {
    show({1, 0, 0.2, 1});
    openColorBlock();
    typeColor("FF0033", "f80");
    EXPECT_EQ(code(), "FF8800");
    EXPECT_TRUE(shows("f80"));
    const CodableColor previewed = cover->color();
    pressReturn();
    EXPECT_TRUE(shows("FF8800"));
    EXPECT_EQ(cover->color(), previewed);

    typeColor("FF8800", "coral");
    EXPECT_EQ(code(), "FF7F50");
    EXPECT_TRUE(shows("coral"));
    pressReturn();
    EXPECT_TRUE(shows("FF7F50"));

    // Unreadable text leaves the cover and shows its code again; so does an emptied field.
    typeColor("FF7F50", "zz");
    pressReturn();
    EXPECT_TRUE(shows("FF7F50"));
    click(card().find(ui::Query::byText("FF7F50")));
    selectAll();
    typeKey(51, "\x7f");
    EXPECT_EQ(code(), "FF7F50");
    pressReturn();
    EXPECT_TRUE(shows("FF7F50"));
}

TEST_F(ControlPanelAppearanceTest, ShowingThePanelLeavesAColourOffTheGridAlone) {
    const CodableColor color{0.3, 0.2, 0.7, 0.5};
    show(color);
    openColorBlock();
    EXPECT_TRUE(shows("4D33B3"));
    click("Hide color picker");
    openColorBlock();
    EXPECT_EQ(cover->color(), color);
}

TEST_F(ControlPanelAppearanceTest, ThePickerGivesPureHuesBlackAtTheBottomAndRedAtBothEnds) {
    show({0, 0, 1, 1});
    openColorBlock();
    pick("saturationBrightnessSquare", {0.5, 0.5}, {1.5, -0.5});
    EXPECT_EQ(code(), "0000FF");
    EXPECT_EQ(cover->color().alpha, 1);
    // Black is a grey: the hue goes back to red, as the next pick at the corner shows.
    pick("saturationBrightnessSquare", {0.5, 0.5}, {0.5, 1.5});
    EXPECT_EQ(code(), "000000");
    pick("saturationBrightnessSquare", {0.5, 0.5}, {1.5, -0.5});
    EXPECT_EQ(code(), "FF0000");

    pick("hueBar", {0.5, 0.5}, {0.5, 0.5});
    EXPECT_EQ(code(), "00FFFF");
    pick("hueBar", {0.5, 0.5}, {1.5, 0.5});
    EXPECT_EQ(code(), "FF0000");

    // From the keyboard, as sliders: Tab reaches both; the arrows, Page Up and Page Down, Home and
    // End move their marks away and back again.
    for (const auto& [part, away, back] :
         {std::tuple{"Saturation and brightness", ui::Key::downArrow, ui::Key::upArrow},
          std::tuple{"Saturation and brightness", ui::Key::pageDown, ui::Key::pageUp},
          std::tuple{"Saturation and brightness", ui::Key::home, ui::Key::end},
          std::tuple{"Hue", ui::Key::rightArrow, ui::Key::leftArrow},
          std::tuple{"Hue", ui::Key::pageUp, ui::Key::home}}) {
        for (int tabs = 0; tabs < 30 && !find(part).isFocused(); ++tabs) card().press(ui::Key::tab);
        ASSERT_TRUE(find(part).isFocused()) << part;
        EXPECT_TRUE(card().press(away));
        runUntilIdle();
        EXPECT_NE(code(), "FF0000") << part;
        EXPECT_TRUE(card().press(back));
        runUntilIdle();
        EXPECT_EQ(code(), "FF0000") << part;
        const auto slider = element(part);
        EXPECT_TRUE(slider && slider->range) << part;
    }
    EXPECT_EQ(value("Hue"), "0 degrees");
    EXPECT_EQ(value("Saturation and brightness"), "saturation 100%, brightness 100%");
}

// The picker redraws only what a pick changes (the knob, the square's hue, the code, the swatch)
// over the card and its shadow, and what it shows is what drawing the whole card shows.
TEST_F(ControlPanelAppearanceTest, PicksDrawThePanelAsDrawingItWholeDoes) {
    auto picture = [this] { return talvori::testing::drawnPixels(card()); };
    show();
    openColorBlock();
    picture();
    picture();
    const std::pair<std::string, Point> picks[] = {
        {"saturationBrightnessSquare", {0.2, 0.1}}, {"saturationBrightnessSquare", {0.25, 0.12}},
        {"saturationBrightnessSquare", {0.9, 0.6}}, {"hueBar", {0.7, 0.5}},
        {"saturationBrightnessSquare", {0.5, 0.5}}, {"hueBar", {0.1, 0.5}},
    };
    for (const auto& [part, at] : picks) {
        pick(part, at);
        const auto partial = picture();
        card().setNeedsDisplay();
        EXPECT_TRUE(partial == picture()) << part << " at " << at.x << ", " << at.y;
        picture();
    }
}

TEST_F(ControlPanelAppearanceTest, SamplingTakesAPickedColourOpaqueAndCancelChangesNothing) {
    show();
    openColorBlock();
    click("Sample color from screen");
    ASSERT_TRUE(simColorSampler().isSampling());
    EXPECT_EQ(value("Sample color from screen"), "Sampling");
    EXPECT_FALSE(find("Sample color from screen").isEnabled());
    click("Sample color from screen");
    EXPECT_EQ(simColorSampler().sessionCount(), 1);

    simColorSampler().pick({0.2, 0.4, 0.6, 0.5});
    runUntilIdle();
    EXPECT_EQ(cover->color(), (CodableColor{0x33 / 255.0, 0x66 / 255.0, 0x99 / 255.0, 1}));
    EXPECT_TRUE(shows("336699"));
    EXPECT_FALSE(controller->samplingSession());
    EXPECT_TRUE(find("Sample color from screen").isEnabled());

    click("Sample color from screen");
    simColorSampler().cancel();
    runUntilIdle();
    EXPECT_TRUE(shows("336699"));
    EXPECT_FALSE(controller->samplingSession());

    // The cover closes while the sampler is up: its late answer is dropped.
    click("Sample color from screen");
    controller->hidePanel(cover->id());
    simColorSampler().pick({1, 1, 1, 1});
    runUntilIdle();
    EXPECT_EQ(code(), "336699");
}

}  // namespace
}  // namespace talvori::testing
