#include "focus/AccessibilityLookup.hpp"
#include "focus/FocusToggle.hpp"
#include "ui/UiTest.hpp"

namespace talvori::ui::testing {
namespace {

// Owns the state the switch shows, as the Focus card does, and counts clicks.
struct ToggleOwner {
    Observable<bool>* isOn;
    int* clicks;
    View body(ViewContext<NoState>&) const {
        return FocusToggle{(*isOn)(), [clicks = clicks] { ++*clicks; }};
    }
};

class FocusToggleTest : public UiTest {
  protected:
    std::shared_ptr<Host> make(bool on) {
        isOn.set(on);
        made = host(ToggleOwner{&isOn, &clicks});
        knob = made->find(Query::byIdentifier("FocusToggle.knob"));
        track = made->find(Query::byIdentifier("FocusToggle.track"));
        toggle = made->find(Query::byIdentifier(FocusToggle::kIdentifier));
        return made;
    }
    std::string value() const { return switchValue(*made, "Focus Mode"); }

    Observable<bool> isOn{false};
    int clicks = 0;
    std::shared_ptr<Host> made;
    NodeRef knob, track, toggle;
    static constexpr double kOnX = 16;
    static constexpr Color kAccent = Color::rgb255(245, 160, 53);
};

TEST_F(FocusToggleTest, ShownOnAtOnceWhenCreatedOn) {
    auto h = make(true);
    EXPECT_EQ(h->size(), (Size{36, 20}));
    EXPECT_TRUE(near(knob.frame(), {kOnX, 0, 20, 20}));
    EXPECT_EQ(track.fillColor(), kAccent);
    EXPECT_EQ(knob.fillColor(), Color::white());
    EXPECT_EQ(value(), "On");
    advance(0.05);
    EXPECT_TRUE(near(knob.frame(), {kOnX, 0, 20, 20})) << "no slide in from the leading edge";
}

TEST_F(FocusToggleTest, AClickOnlyRunsTheActionAndMovesNothing) {
    auto h = make(false);
    EXPECT_TRUE(near(knob.frame(), {0, 0, 20, 20}));
    EXPECT_EQ(track.fillColor(), Color::white(0.12));
    EXPECT_EQ(knob.fillColor(), Color::white(0.4));
    toggle.click();
    runUntilIdle();
    advance(1);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(near(knob.frame(), {0, 0, 20, 20}));
    EXPECT_EQ(track.fillColor(), Color::white(0.12));
    EXPECT_EQ(value(), "Off");
}

TEST_F(FocusToggleTest, AChangeOfStateSlidesTheKnobAndRecoloursOverAnEaseOut) {
    auto h = make(false);
    isOn.set(true);
    runUntilIdle();
    // The owner's state is read out at once, before the knob has moved.
    EXPECT_EQ(value(), "On");
    EXPECT_EQ(knob.frame().minX(), 0);
    advance(0.075);
    const double progress = Animation::easeOut(FocusToggle::kSlideDuration).progress(0.075);
    EXPECT_NEAR(knob.frame().minX(), kOnX * progress, 1e-6);
    EXPECT_NEAR(track.fillColor()->alpha, 0.12 + 0.88 * progress, 1e-6);
    EXPECT_NEAR(knob.fillColor()->alpha, 0.4 + 0.6 * progress, 1e-6);
    advance(0.075);
    EXPECT_EQ(knob.frame().minX(), kOnX);
    EXPECT_EQ(track.fillColor(), kAccent);
}

TEST_F(FocusToggleTest, TwoQuickChangesEndOnTheLast) {
    auto h = make(false);
    isOn.set(true);
    runUntilIdle();
    advance(0.05);
    isOn.set(false);
    runUntilIdle();
    EXPECT_EQ(value(), "Off");
    EXPECT_GT(knob.frame().minX(), 0);
    advance(0.15);
    EXPECT_EQ(knob.frame().minX(), 0);
    EXPECT_EQ(track.fillColor(), Color::white(0.12));
}

TEST_F(FocusToggleTest, ReduceMotionAtTheChangeMakesItJump) {
    auto h = make(false);
    reduceMotion_ = true;
    isOn.set(true);
    runUntilIdle();
    EXPECT_EQ(knob.frame().minX(), kOnX);
    EXPECT_EQ(track.fillColor(), kAccent);
    EXPECT_EQ(knob.fillColor(), Color::white());
}

}  // namespace
}  // namespace talvori::ui::testing
