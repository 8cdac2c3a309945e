#include "WindowedViewTest.hpp"
#include "ui/Popover.hpp"

namespace talvori::ui::testing {
namespace {

constexpr Color kFill = Color::rgb255(60, 70, 90);

// A field-like anchor that opens a popover with a button in it; the popover's binding counts the
// writes it receives.
struct Anchored {
    Observable<bool>* shown;
    int* writes;
    int* pressed;
    bool* anchorPresent;

    View body(ViewContext<NoState>&) const {
        const Binding<bool> binding([shown = shown] { return shown->peek(); },
                                    [shown = shown, writes = writes](bool value) {
                                        ++*writes;
                                        shown->set(value);
                                    },
                                    [shown = shown](std::function<void()> onChange) {
                                        return shown->observe(std::move(onChange));
                                    });
        const View anchor = Text("Anchor")
                                .frame(130, 24)
                                .popover(binding,
                                         [pressed = pressed] {
                                             return View(Button([pressed] { ++*pressed; },
                                                                Text("Inside").frame(200, 60))
                                                             .accessibilityLabel("Inside"));
                                         },
                                         {.background = kFill})
                                .accessibilityLabel("Anchor");
        return VStack(0, {Spacer(0).frame({.height = 40}), *anchorPresent ? anchor : View(),
                          Spacer(0)})
            .frame({.maxWidth = infinity, .maxHeight = infinity});
    }
};

class PopoverTest : public WindowedViewTest {
  protected:
    void open(const Rect& frame = Rect(400, 500, 300, 200)) {
        show(View(Anchored{&shown, &writes, &pressed, &anchorPresent}), frame);
        shown.set(true);
        runUntilIdle();
    }
    std::shared_ptr<Panel> popoverWindow() const {
        auto found = windowsAtLevel(WindowLevel::normal + 1);
        return found.empty() ? nullptr : found.front();
    }
    Rect anchorOnScreen() { return *views().find(Query::byLabel("Anchor")).frameOnScreen(); }

    Observable<bool> shown{false};
    int writes = 0;
    int pressed = 0;
    bool anchorPresent = true;
};

TEST_F(PopoverTest, HangsBelowItsAnchorWithTheArrowOnTheAnchorsMiddle) {
    open();
    const auto window = popoverWindow();
    ASSERT_TRUE(window);
    const Rect anchor = anchorOnScreen();
    EXPECT_EQ(anchor, Rect(400 + 85, 500 + 200 - 40 - 24, 130, 24));
    EXPECT_EQ(window->frame().maxY(), anchor.minY());
    EXPECT_EQ(window->frame().midX(), anchor.midX());
    EXPECT_EQ(window->frame().size, (Size{200, 60 + Popover::kArrowHeight}));
    EXPECT_EQ(views().find(Query::byLabel("Anchor")).frameInWindow(), Rect(85, 40, 130, 24));

    writePicture("/tmp/x/popover.png");
    const auto picture = sim::ScreenPicture::render(world());
    EXPECT_TRUE(close(picture.colorAt({anchor.midX(), anchor.minY() - 2}), kFill, 0.03))
        << "the arrow's tip";
    EXPECT_TRUE(close(picture.colorAt({anchor.midX() + 30, anchor.minY() - 2}),
                      picture.colorAt({anchor.midX() + 30, anchor.minY() + 40})))
        << "beside the arrow the window below shows";
}

TEST_F(PopoverTest, AClickOutsideClosesItAndWritesFalseOnceWhileClicksInsideReachItsContent) {
    open();
    const auto window = popoverWindow();
    ASSERT_TRUE(window);
    const Rect frame = window->frame();
    clickAt({frame.midX(), frame.midY() - 10});
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(writes, 0);

    // A click in the anchor's own window, away from the popover.
    clickAt(global({20, 180}));
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(popoverWindow());
    EXPECT_EQ(writes, 1);
    EXPECT_FALSE(shown.peek());
    clickAt(global({20, 180}));
    clickAt({10, 10});
    EXPECT_EQ(writes, 1);

    // Shown again by its binding, then closed by a click on another application's window.
    shown.set(true);
    runUntilIdle();
    ASSERT_TRUE(popoverWindow());
    world().openWindow(world().launchApplication("Other"), "Doc", Rect(10, 10, 200, 200));
    clickAt({50, 50});
    EXPECT_FALSE(popoverWindow());
    EXPECT_EQ(writes, 2);
}

TEST_F(PopoverTest, ClosesWithItsAnchorsWindowOrWithoutAWriteWhenTheAnchorGoes) {
    open();
    ASSERT_TRUE(popoverWindow());
    anchorPresent = false;
    content->setRootView(View(Anchored{&shown, &writes, &pressed, &anchorPresent}));
    runUntilIdle();
    EXPECT_FALSE(popoverWindow());
    EXPECT_EQ(writes, 0);
    EXPECT_TRUE(shown.peek());

    anchorPresent = true;
    content->setRootView(View(Anchored{&shown, &writes, &pressed, &anchorPresent}));
    runUntilIdle();
    ASSERT_TRUE(popoverWindow());
    panel->close();
    runUntilIdle();
    EXPECT_FALSE(popoverWindow());
    EXPECT_EQ(writes, 1);
    EXPECT_FALSE(shown.peek());
}

TEST_F(PopoverTest, OpensAboveItsAnchorAtTheScreensFootAndStaysInsideIt) {
    // The screen is 1440 x 900; the anchor sits near its bottom right corner.
    open(Rect(1440 - 150, 10, 150, 110));
    const auto window = popoverWindow();
    ASSERT_TRUE(window);
    const Rect anchor = anchorOnScreen();
    EXPECT_EQ(window->frame().minY(), anchor.maxY());
    EXPECT_EQ(window->frame().maxX(), 1440 - Popover::kScreenMargin);
    writePicture("/tmp/x/popover-above.png");
}

}  // namespace
}  // namespace talvori::ui::testing
