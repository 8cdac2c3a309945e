#include "controls/DarkTooltip.hpp"
#include "controls/InteractiveButton.hpp"
#include "controls/LucideIcon.hpp"
#include "ui/UiTest.hpp"

namespace talvori::ui::testing {
namespace {

TEST(LucideIconTest, RawValuesAreTheAssetNamesAndEachAssetIsInstalled) {
    EXPECT_EQ(LucideIcon::fromRawValue("icon-eye-off"), LucideIcon(LucideIcon::eyeOff));
    EXPECT_EQ(LucideIcon(LucideIcon::pointerClick).rawValue(), "icon-pointer-click");
    EXPECT_EQ(LucideIcon(LucideIcon::checkCircle).rawValue(), "icon-check-circle");
    EXPECT_FALSE(LucideIcon::fromRawValue("eye-off"));
    EXPECT_FALSE(LucideIcon::fromRawValue("icon-menubar"));
    EXPECT_FALSE(LucideIcon::fromRawValue("icon-Eye"));
    for (const LucideIcon icon : LucideIcon::allCases()) {
        EXPECT_TRUE(IconCatalog::fileFor(icon.rawValue())) << icon.rawValue();
        EXPECT_EQ(LucideIcon::fromRawValue(icon.rawValue()), icon);
    }
}

class InteractiveButtonTest : public UiTest {
  protected:
    std::shared_ptr<Host> make() {
        auto made = host(VStack(
            0, {InteractiveButton{
                    [this] { ++clicks; },
                    [this](bool hovering, bool pressed) {
                        looks.push_back({hovering, pressed});
                        return View(Color::white()).frame(40, 20).accessibilityLabel("Button");
                    }},
                View(Color::black()).frame(40, 20)}));
        button = made->find(Query::byLabel("Button"));
        return made;
    }
    std::pair<bool, bool> look() const { return looks.back(); }

    int clicks = 0;
    std::vector<std::pair<bool, bool>> looks;
    NodeRef button;
};

TEST_F(InteractiveButtonTest, TheLabelSeesHoverAndPressIncludingPressedAfterThePointerLeft) {
    auto h = make();
    EXPECT_EQ(look(), std::make_pair(false, false));
    h->mouseMoved({20, 10});
    runUntilIdle();
    EXPECT_EQ(look(), std::make_pair(true, false));
    h->mouseDown({20, 10});
    runUntilIdle();
    EXPECT_EQ(look(), std::make_pair(true, true));
    // The pointer slides off the held button.
    h->mouseMoved({20, 30});
    runUntilIdle();
    EXPECT_EQ(look(), std::make_pair(false, true));
    h->mouseUp({20, 30});
    runUntilIdle();
    EXPECT_EQ(look(), std::make_pair(false, false));
    EXPECT_EQ(clicks, 0) << "released outside";
    button.click();
    runUntilIdle();
    EXPECT_EQ(clicks, 1);
}

TEST_F(InteractiveButtonTest, APressShrinksTheLabelAboutItsCentreUnlessMotionIsReduced) {
    auto h = make();
    button.mouseDown();
    runUntilIdle();
    advance(0.05);
    EXPECT_GT(button.frame().width(), 40 * 0.97);
    EXPECT_LT(button.frame().width(), 40);
    advance(0.1);
    EXPECT_TRUE(near(button.frame(), {0.6, 0.3, 38.8, 19.4}));
    button.mouseUp();
    runUntilIdle();
    advance(0.2);
    EXPECT_TRUE(near(button.frame(), {0, 0, 40, 20}));

    reduceMotion_ = true;
    button.mouseDown();
    runUntilIdle();
    EXPECT_TRUE(near(button.frame(), {0.6, 0.3, 38.8, 19.4})) << "at once";
}

// A control whose tooltip text follows its owner's state.
struct TooltipOwner {
    Observable<std::string>* text;
    int* clicks;
    View body(ViewContext<NoState>&) const {
        return VStack(0, {View(Color::black()).frame(100, 40),
                          darkTooltip(Button([clicks = clicks] { ++*clicks; },
                                             View(Color::white()).frame(20, 20))
                                          .accessibilityLabel("Target"),
                                      (*text)()),
                          View(Color::black()).frame(100, 40)});
    }
};

class DarkTooltipTest : public UiTest {
  protected:
    std::shared_ptr<Host> make() {
        made = host(TooltipOwner{text.get(), &clicks});
        target = made->find(Query::byLabel("Target"));
        return made;
    }
    NodeRef bubble() const { return made->find(Query::byText(text->peek())); }
    bool showsBubble() const { return bubble().exists() && bubble().opacity() > 0.99; }
    void pointerOn() const { made->mouseMoved(target.center()); }
    void pointerOff() const { made->mouseMoved({5, 5}); }

    std::shared_ptr<Observable<std::string>> text =
        std::make_shared<Observable<std::string>>("Show layout");
    std::shared_ptr<Host> made;
    NodeRef target;
    int clicks = 0;
};

TEST_F(DarkTooltipTest, ShowsOnlyAfterThePointerRestsForTheFullDelay) {
    make();
    pointerOn();
    advance(0.39);
    EXPECT_FALSE(bubble().exists());
    // Leaving and coming back starts the wait again.
    pointerOff();
    advance(0.005);
    pointerOn();
    advance(0.39);
    EXPECT_FALSE(bubble().exists());
    advance(0.02);
    ASSERT_TRUE(bubble().exists());
    EXPECT_LT(bubble().opacity(), 1) << "fades in";
    advance(0.2);
    EXPECT_TRUE(showsBubble());
    // Above the control, on one line however narrow the control is.
    EXPECT_LT(bubble().frame().maxY(), target.frame().minY());
    EXPECT_GT(bubble().frame().width(), target.frame().width());
    pointerOff();
    advance(0.2);
    EXPECT_FALSE(bubble().exists());
}

TEST_F(DarkTooltipTest, ATextChangeHidesAtOnceAndShowsTheNewTextLaterOnlyWhileHovered) {
    make();
    pointerOn();
    advance(0.6);
    ASSERT_TRUE(showsBubble());
    text->set("Hide layout");
    runUntilIdle();
    EXPECT_FALSE(made->find(Query::byText("Show layout")).exists()) << "gone without a fade";
    EXPECT_FALSE(bubble().exists());
    advance(0.39);
    EXPECT_FALSE(bubble().exists());
    advance(0.2);
    EXPECT_TRUE(showsBubble());

    pointerOff();
    advance(0.2);
    text->set("Show layout");
    runUntilIdle();
    advance(1);
    EXPECT_FALSE(bubble().exists()) << "the pointer is away";
}

TEST_F(DarkTooltipTest, TheBubbleTakesNoClicksAndAGoneViewIgnoresItsPendingShow) {
    make();
    pointerOn();
    advance(0.6);
    ASSERT_TRUE(showsBubble());
    // A click on the bubble reaches whatever lies under it, not the control it describes.
    made->mouseDown(bubble().center());
    made->mouseUp(bubble().center());
    EXPECT_EQ(clicks, 0);

    pointerOff();
    advance(0.2);
    pointerOn();
    advance(0.1);
    made->setRootView(View());
    runUntilIdle();
    advance(1);  // the pending show must not reach the removed view's state
    EXPECT_FALSE(bubble().exists());
}

}  // namespace
}  // namespace talvori::ui::testing
