#include <gtest/gtest.h>

#include "focus/AccessibilityLookup.hpp"
#include "focus/FocusDesktopTest.hpp"
#include "focus/FocusToggle.hpp"
#include "focus/SpotlightCard.hpp"
#include "focus/SpotlightModel.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::ui::testing {
namespace {

// Sliders of 220 points; the fade slider, with its wider number, is 204.
constexpr double kCardWidth = 352;
constexpr double kSliderWidth = 220;
constexpr double kFadeSliderWidth = 204;
constexpr double kPanelHeight = 160;
constexpr Color kAccent = Color::rgb255(245, 160, 53);

// The card in a panel of ours in front of Editor and Browser, with the Focus engine running.
class SpotlightCardTest : public talvori::testing::FocusDesktopTest {
  protected:
    SpotlightCardTest() {
        activateApplication(editor);
        makeController();
    }
    ~SpotlightCardTest() override {
        if (cardPanel) cardPanel->orderOut();
    }

    void showCard() {
        PanelHost::Options options;
        options.textMeasurer = std::make_shared<FixedTextMeasurer>();
        content =
            PanelHost::make(View(SpotlightCard{controller})
                                .frame({.maxHeight = infinity, .alignment = Alignment::top()}),
                            options);
        cardPanel = makePanel(Rect(900, 300, kCardWidth, kPanelHeight));
        cardPanel->setBackgroundColor(Color::rgb255(21, 24, 32));
        cardPanel->setHostedContent(content);
        cardPanel->orderFront();
        runUntilIdle();
    }
    Host& card() const { return content->host(); }

    // A point of the panel's content (y down) in the global space (y up).
    Point global(Point point) const {
        const Rect frame = cardPanel->frame();
        return {frame.minX() + point.x, frame.maxY() - point.y};
    }
    void click(const NodeRef& node) {
        ASSERT_TRUE(node);
        input().click(global(center(node.frame())));
        runUntilIdle();
    }
    void clickSwitch() { click(card().find(Query::byIdentifier(FocusToggle::kIdentifier))); }
    void clickHeader() { click(card().find(Query::byText("Focus Mode"))); }

    // The slider itself, not the caption that may show the same word.
    NodeRef slider(const std::string& label) const {
        for (const auto& found : card().findAll(Query::byLabel(label))) {
            if (accessibilityLabelOf(found.node()->element())) return found;
        }
        return {};
    }
    // Presses the slider in its middle and lets go `x` points from its leading edge.
    void dragSlider(const std::string& label, double x) {
        const Rect frame = slider(label).frame();
        ASSERT_GT(frame.width(), 0) << label;
        input().drag(global(center(frame)), global({frame.minX() + x, frame.midY()}));
        runUntilIdle();
    }
    // The thumb of a slider: its one shape with a shadow.
    Rect thumbFrame(const std::string& label) const {
        Rect frame;
        if (Node* node = slider(label).node()) {
            node->forEachInSubtree([&](Node& inner) {
                if (inner.element().debugName() == "shadow")
                    frame = inner.frameInHost(card().now());
            });
        }
        return frame;
    }
    // The button of a segment of the effect selector.
    Rect segmentFrame(const std::string& title) const {
        const Node* node = card().find(Query::byText(title)).node();
        while (node && node->element().debugName() != "Button") node = node->parent();
        return node ? node->frameInHost(card().now()) : Rect{};
    }
    Rect highlightFrame() const {
        Rect frame;
        card().root().node()->forEachInSubtree([&](Node& node) {
            if (node.element().debugName() == "matchedGeometryEffect(effectSelector)")
                frame = node.children().front()->frameInHost(card().now());
        });
        return frame;
    }
    bool shows(const std::string& text) const { return card().find(Query::byText(text)).exists(); }
    std::string value(const std::string& label) const { return accessibilityValue(card(), label); }

    SpotlightModel stored() const {
        const auto bytes = defaults->data(SpotlightModel::kDefaultsKey);
        const auto model = bytes ? SpotlightModel::decoded(*bytes) : std::nullopt;
        return model.value_or(SpotlightModel{-1, -1, false, SpotlightEffect::dim, -1, -1});
    }
    Color tint() const { return panel()->contentLayer().backgroundColor; }
    static Color tint(double alpha) { return SpotlightPanelManager::dimColor().withAlpha(alpha); }

    void expectOff() {
        EXPECT_FALSE(controller->isActive());
        EXPECT_EQ(value("Focus Mode"), "Off");
        EXPECT_EQ(switchValue(card(), "Focus Mode"), "Off");
        EXPECT_TRUE(shows("Off"));
        EXPECT_TRUE(shows("Dim or blur everything else"));
        EXPECT_FALSE(shows("Effect"));
    }
    void expectOn() {
        EXPECT_TRUE(controller->isActive());
        EXPECT_EQ(value("Focus Mode"), "On");
        EXPECT_EQ(switchValue(card(), "Focus Mode"), "On");
        EXPECT_TRUE(shows("On"));
        EXPECT_TRUE(shows("Effect"));
        EXPECT_TRUE(panelIsDirectlyBelow(e1));
    }

    // With Focus on, as a user: Glass and its two sliders, then Dim and its two.
    void tuneEverySlider() {
        click(card().find(Query::byText("Glass")));
        EXPECT_EQ(controller->effect(), SpotlightEffect::glass);
        EXPECT_EQ(stored().effect, SpotlightEffect::glass);
        EXPECT_EQ(panel()->backgroundBlurRadius(), 20);
        EXPECT_TRUE(shows("Glass \u00b7 foreground stays clear"));
        // Glass still follows Dim: it shows Dim's opacity until its first drag.
        EXPECT_TRUE(shows("50%"));
        EXPECT_EQ(value("Opacity"), "50 percent");

        dragSlider("Opacity", -20);
        EXPECT_EQ(stored().glassOpacity, 0.0);
        EXPECT_FALSE(stored().glassOpacityLinked);
        EXPECT_EQ(stored().dimOpacity, 0.5);
        EXPECT_TRUE(shows("0%"));
        EXPECT_EQ(value("Opacity"), "0 percent");
        EXPECT_EQ(tint(), tint(0));
        dragSlider("Opacity", kSliderWidth * 0.75);
        EXPECT_EQ(stored().glassOpacity, 0.75);
        EXPECT_TRUE(shows("75%"));
        EXPECT_EQ(tint(), tint(0.75));

        dragSlider("Blur radius", kSliderWidth * 0.75);
        EXPECT_EQ(stored().blurRadius, 37.5);
        EXPECT_TRUE(shows("37"));
        EXPECT_EQ(panel()->backgroundBlurRadius(), 37);
        dragSlider("Blur radius", kSliderWidth + 30);
        EXPECT_EQ(stored().blurRadius, 50.0);
        EXPECT_EQ(value("Blur radius"), "50");
        EXPECT_EQ(panel()->backgroundBlurRadius(), 50);

        click(card().find(Query::byText("Dim")));
        EXPECT_EQ(stored().effect, SpotlightEffect::dim);
        EXPECT_TRUE(shows("Dim \u00b7 everything else fades back"));
        EXPECT_EQ(tint(), tint(0.5));
        EXPECT_EQ(panel()->backgroundBlurRadius(), SpotlightPanelManager::kDimBlurRadius);

        dragSlider("Dim opacity", kSliderWidth * 0.75);
        EXPECT_EQ(stored().dimOpacity, 0.75);
        EXPECT_TRUE(shows("75%"));
        EXPECT_EQ(tint(), tint(0.75));
        dragSlider("Dim opacity", 0);
        EXPECT_EQ(stored().dimOpacity, 0.1) << "Dim stops at a tenth";
        EXPECT_TRUE(shows("10%"));
        EXPECT_EQ(value("Dim opacity"), "10 percent");
        EXPECT_EQ(tint(), tint(0.1));

        dragSlider("Fade duration", kFadeSliderWidth / 2);
        EXPECT_EQ(stored().fadeDuration, 0.25);
        EXPECT_TRUE(shows("250 ms"));
        EXPECT_EQ(value("Fade duration"), "250 milliseconds");
        EXPECT_EQ(panels->fadeDuration(), 0.25);
        dragSlider("Fade duration", -8);
        EXPECT_TRUE(shows("50 ms"));
        dragSlider("Fade duration", kFadeSliderWidth + 8);
        EXPECT_TRUE(shows("450 ms"));
        EXPECT_EQ(panels->fadeDuration(), 0.45);
    }

    std::shared_ptr<PanelHost> content;
    std::shared_ptr<Panel> cardPanel;
};

TEST_F(SpotlightCardTest, AUserTurnsFocusOnTunesEverySliderAndTurnsItOff) {
    showCard();
    expectOff();
    EXPECT_NEAR(card().fittingSize(kCardWidth).height, 58.8, 1e-9);

    clickSwitch();
    expectOn();
    EXPECT_NEAR(card().fittingSize(kCardWidth).height, 58.8 + 11 + 25.2 + 11 + 16 + 11 + 16, 1e-9);
    clickSwitch();
    expectOff();
    advance(1);
    EXPECT_FALSE(panel());

    clickHeader();
    expectOn();
    // The header only turns Focus on.
    clickHeader();
    expectOn();

    tuneEverySlider();

    clickSwitch();
    expectOff();
    advance(1);
    EXPECT_FALSE(panel());
    EXPECT_EQ(stored(), (SpotlightModel{0.1, 0.75, false, SpotlightEffect::dim, 50, 0.45}));
}

TEST_F(SpotlightCardTest, WithoutAccessibilityTheCardWaitsForTheGrantThenWorksTheSame) {
    simAccessibility().setTrusted(false);
    showCard();
    const auto knob = card().find(Query::byIdentifier("FocusToggle.knob"));
    const double offX = knob.frame().minX();

    clickSwitch();
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1);
    EXPECT_TRUE(controller->isWaitingForAccessibility());
    advance(3);
    expectOff();
    EXPECT_EQ(knob.frame().minX(), offX) << "the switch waits for the engine";
    clickHeader();
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1);
    expectOff();

    simAccessibility().setTrusted(true);
    advance(0.5);
    runUntilIdle();
    advance(FocusToggle::kSlideDuration);
    expectOn();
    EXPECT_EQ(knob.frame().minX(), offX + 16);

    tuneEverySlider();

    clickSwitch();
    expectOff();
    advance(1);
    EXPECT_FALSE(panel());
}

TEST_F(SpotlightCardTest, TheWholeHeaderUpToTheStateWordTurnsFocusOn) {
    showCard();
    const Rect subtitle = card().find(Query::byText("Dim or blur everything else")).frame();
    const Rect word = card().find(Query::byText("Off")).frame();
    ASSERT_LT(subtitle.maxX() + 4, word.minX());
    input().click(global({(subtitle.maxX() + word.minX()) / 2, word.midY()}));
    runUntilIdle();
    expectOn();
}

// Where no compositing manager runs, switching Focus on shows nothing: the card says why, and the
// choice is kept for when one starts.
TEST_F(SpotlightCardTest, WithoutACompositorTheCardSaysDimmingNeedsOneAndStillKeepsTheChoice) {
    world().setCompositing(false);
    showCard();
    EXPECT_TRUE(shows("Dimming needs a compositing manager"));
    clickSwitch();
    EXPECT_TRUE(controller->isActive());
    EXPECT_TRUE(shows("Dimming needs a compositing manager"));
    world().setCompositing(true);
    runUntilIdle();
    EXPECT_TRUE(shows("Dim \u00b7 everything else fades back"));
    EXPECT_TRUE(panelIsDirectlyBelow(e1));
}

TEST_F(SpotlightCardTest, TheEffectSelectorSlidesItsHighlightAndCrossFadesTheRows) {
    showCard();
    clickSwitch();
    const Rect dim = segmentFrame("Dim");
    const Rect glass = segmentFrame("Glass");
    EXPECT_EQ(dim.width(), (kCardWidth - 32 - 52 - 10 - 2 - 2 - 2) / 2);
    EXPECT_EQ(dim.width(), glass.width());
    EXPECT_EQ(glass.minX() - dim.maxX(), 2);
    EXPECT_EQ(highlightFrame(), dim);
    const auto fadeCaption = card().find(Query::byText("Fade"));

    click(card().find(Query::byText("Glass")));
    const auto blurCaption = card().find(Query::byText("Blur"));
    advance(0.1);
    const double slide = Animation::easeInOut(0.2).progress(0.1);
    const double fade = Animation::easeOut(0.2).progress(0.1);
    EXPECT_NEAR(highlightFrame().minX(), dim.minX() + (glass.minX() - dim.minX()) * slide, 1e-6);
    EXPECT_NEAR(fadeCaption.opacity(), 1 - fade, 1e-6);
    EXPECT_NEAR(blurCaption.opacity(), fade, 1e-6);
    EXPECT_EQ(fadeCaption.frame().minY(), blurCaption.frame().minY()) << "both in one place";
    advance(0.1);
    EXPECT_EQ(highlightFrame(), glass);
    EXPECT_FALSE(fadeCaption);
    EXPECT_EQ(blurCaption.opacity(), 1);

    // The segment already chosen still asks the engine, which stores the same settings again;
    // nothing visible changes.
    const auto writes = defaults->writeCount();
    click(card().find(Query::byText("Glass")));
    EXPECT_EQ(defaults->writeCount(), writes + 1);
    EXPECT_EQ(highlightFrame(), glass);
    EXPECT_EQ(controller->effect(), SpotlightEffect::glass);
    EXPECT_EQ(blurCaption.opacity(), 1);

    simWorkspace().setReduceMotion(true);
    click(card().find(Query::byText("Dim")));
    EXPECT_EQ(highlightFrame(), dim);
    EXPECT_FALSE(blurCaption);
    EXPECT_EQ(card().find(Query::byText("Fade")).opacity(), 1);
}

// From the keyboard the effect is a group of two choices: each arrow chooses the other one and
// the focus goes with it, so that a reader says the choice.
TEST_F(SpotlightCardTest, TheArrowsChooseTheEffectAndTheFocusFollowsTheChoice) {
    showCard();
    clickSwitch();
    Node* dim = card().find(Query::byText("Dim")).node();
    while (dim && dim->element().debugName() != "Button") dim = dim->parent();
    ASSERT_TRUE(dim);
    card().requestFocus(*dim);
    const std::pair<Key, SpotlightEffect::Case> presses[] = {
        {Key::rightArrow, SpotlightEffect::glass},
        {Key::leftArrow, SpotlightEffect::dim},
        {Key::upArrow, SpotlightEffect::glass},
        {Key::downArrow, SpotlightEffect::dim}};
    for (const auto& [key, chosen] : presses) {
        EXPECT_TRUE(card().press(key));
        runUntilIdle();
        EXPECT_EQ(controller->effect(), chosen);
        std::vector<AccessibilityNode> pending = card().accessibilityElements();
        std::optional<AccessibilityNode> focused;
        while (!pending.empty() && !focused) {
            AccessibilityNode element = std::move(pending.back());
            pending.pop_back();
            if (element.isFocused) focused = element;
            pending.insert(pending.end(), element.children.begin(), element.children.end());
        }
        ASSERT_TRUE(focused);
        EXPECT_EQ(focused->label, chosen == SpotlightEffect::dim ? "Dim" : "Glass");
        EXPECT_TRUE(contains(focused->traits, AccessibilityTrait::isRadio));
        EXPECT_EQ(focused->isOn, true);
    }
    EXPECT_TRUE(accessibilityElementLabelled(card(), "Effect")) << "the group's name";
}

TEST_F(SpotlightCardTest, HoveringAThumbGrowsItSmoothly) {
    showCard();
    clickSwitch();
    const Rect track = slider("Dim opacity").frame();
    const double thumbX = track.minX() + kSliderWidth / 2;
    EXPECT_EQ(thumbFrame("Dim opacity"), Rect(thumbX - 6, track.midY() - 6, 12, 12));

    input().moveMouse(global({track.minX() + 20, track.midY()}));
    runUntilIdle();
    advance(0.05);
    const double grown = thumbFrame("Dim opacity").width();
    EXPECT_GT(grown, 12);
    EXPECT_LT(grown, 14);
    advance(0.05);
    EXPECT_EQ(thumbFrame("Dim opacity"), Rect(thumbX - 7, track.midY() - 7, 14, 14));

    simWorkspace().setReduceMotion(true);
    input().moveMouse(global({track.minX() + 20, track.maxY() + 30}));
    runUntilIdle();
    EXPECT_EQ(thumbFrame("Dim opacity").width(), 12);
}

TEST_F(SpotlightCardTest, APressWithoutMovementSetsTheValueAndEndsTheDrag) {
    showCard();
    clickSwitch();
    const Rect track = slider("Fade duration").frame();
    input().click(global({track.minX() + kFadeSliderWidth / 4, track.midY()}));
    runUntilIdle();
    EXPECT_EQ(controller->fadeDuration(), 0.15);
    EXPECT_TRUE(shows("150 ms"));
    input().moveMouse(global({track.minX(), track.maxY() + 30}));
    runUntilIdle();
    advance(0.1);
    EXPECT_EQ(thumbFrame("Fade duration").width(), 12) << "neither hovered nor dragged";
}

TEST_F(SpotlightCardTest, ASliderThatLosesItsWidthDuringADragSendsNothing) {
    showCard();
    clickSwitch();
    click(card().find(Query::byText("Glass")));
    const Rect track = slider("Blur radius").frame();
    input().mouseDown(global({track.minX() + kSliderWidth / 2, track.midY()}));
    runUntilIdle();
    ASSERT_EQ(controller->blurRadius(), 25);
    const auto writes = defaults->writeCount();

    // The panel narrows until nothing is left for the slider between its caption and number.
    const Size narrow{16 + 52 + 10 + 10 + 28 + 16, kPanelHeight};
    cardPanel->setFrame(Rect(cardPanel->frame().origin, narrow));
    card().setProposedSize(narrow);
    runUntilIdle();
    ASSERT_EQ(slider("Blur radius").frame().width(), 0);
    input().moveMouse(global({track.minX() + 40, track.midY()}));
    input().mouseUp(global({track.minX() + 40, track.midY()}));
    runUntilIdle();
    EXPECT_EQ(controller->blurRadius(), 25);
    EXPECT_EQ(defaults->writeCount(), writes);
    EXPECT_EQ(stored().blurRadius, 25);
}

TEST_F(SpotlightCardTest, ThePictureShowsTheStateInTheAccentColour) {
    showCard();
    const Point inPadding = global({4, 4});
    const Point trackStart = global(
        offsetBy(center(card().find(Query::byIdentifier("FocusToggle.track")).frame()), -14, 0));
    const Color ink = Color::rgb255(21, 24, 32);
    auto picture = sim::ScreenPicture::render(world());
    EXPECT_EQ(picture.colorAt(inPadding), ink);
    EXPECT_GT(picture.colorAt(trackStart).blue, ink.blue) << "white at 0.12 lightens the track";

    clickSwitch();
    advance(1);
    picture = sim::ScreenPicture::render(world());
    const Color tinted = picture.colorAt(inPadding);
    EXPECT_GT(tinted.red, ink.red);
    EXPECT_LT(tinted.red - ink.red, 0.05) << "the accent at 0.04 only warms the card";
    const Color track = picture.colorAt(trackStart);
    EXPECT_NEAR(track.red, kAccent.red, 0.01);
    EXPECT_NEAR(track.green, kAccent.green, 0.01);
    EXPECT_NEAR(track.blue, kAccent.blue, 0.01);
}

}  // namespace
}  // namespace talvori::ui::testing
