#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using testing::SimDesktopTest;

class SizedContent : public HostedContent {
  public:
    Size size{540, 284};
    void draw(cairo_t*, Size) override {}
    Size fittingSize() override { return size; }
};

class Delegate : public ApplicationDelegate {
  public:
    int launched = 0;
    int asked = 0;
    bool terminates = true;
    void applicationDidFinishLaunching() override { ++launched; }
    bool applicationShouldTerminateAfterLastWindowClosed() override {
        ++asked;
        return terminates;
    }
};

class SimApplicationTest : public SimDesktopTest {
  protected:
    Application& app() const { return platform().application(); }
    std::shared_ptr<SizedContent> content = std::make_shared<SizedContent>();
    std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();

    SimApplicationTest() {
        app().setDelegate(delegate);
        app().registerScene({"firstRun", "Talvori", [this] { return content; }, true, true});
        app().registerScene(
            {"settings", "Settings", [] { return std::make_shared<SizedContent>(); }, true, false});
    }
};

TEST_F(SimApplicationTest, RecordsPolicyAttentionAndTermination) {
    app().setActivationPolicy(ActivationPolicy::regular);
    app().setActivationPolicy(ActivationPolicy::accessory);
    EXPECT_EQ(
        simApplication().policyChanges(),
        (std::vector<ActivationPolicy>{ActivationPolicy::regular, ActivationPolicy::accessory}));
    advance(0.8);
    app().requestUserAttention(true);
    ASSERT_EQ(simApplication().attentionRequests().size(), 1u);
    EXPECT_EQ(simApplication().attentionRequests()[0].time, 0.8);
    EXPECT_TRUE(simApplication().attentionRequests()[0].critical);
    app().terminate();
    EXPECT_TRUE(simApplication().isTerminated());
}

TEST_F(SimApplicationTest, FinishLaunchingReachesTheDelegateOnALaterTurn) {
    app().finishLaunching();
    EXPECT_EQ(delegate->launched, 0);
    runUntilIdle();
    EXPECT_EQ(delegate->launched, 1);
}

TEST_F(SimApplicationTest, ASceneOpensOnceSizedToItsContentAndKeyOnlyWhileWeAreActive) {
    app().openWindow("firstRun");
    auto window = app().sceneWindow("firstRun");
    ASSERT_TRUE(window);
    EXPECT_EQ(window->frame().size, (Size{540, 284}));
    EXPECT_EQ(window->title(), "Talvori");
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isKeyWindow()) << "we are not active";
    app().openWindow("firstRun");
    EXPECT_EQ(app().sceneWindow("firstRun"), window) << "single instance";
    app().activate();
    runUntilIdle();
    EXPECT_TRUE(app().isActive());
    EXPECT_TRUE(window->isKeyWindow());
}

TEST_F(SimApplicationTest, TheWindowFollowsItsContentKeepingItsTopLeft) {
    app().openWindow("firstRun");
    auto window = app().sceneWindow("firstRun");
    const Rect before = window->frame();
    content->size = {540, 558};
    content->setNeedsDisplay();
    EXPECT_EQ(window->frame().size, (Size{540, 558}));
    EXPECT_EQ(window->frame().maxY(), before.maxY());
    EXPECT_EQ(window->frame().minX(), before.minX());
}

TEST_F(SimApplicationTest, ClosingTheLastSceneWindowAsksTheDelegate) {
    app().openWindow("firstRun");
    app().openWindow("settings");
    simApplication().userClosesWindow("settings");
    runUntilIdle();
    EXPECT_EQ(delegate->asked, 0) << "another scene window is still open";
    app().dismissWindow("firstRun");
    app().dismissWindow("firstRun");
    runUntilIdle();
    EXPECT_EQ(delegate->asked, 1);
    EXPECT_TRUE(simApplication().isTerminated());
    EXPECT_FALSE(app().sceneWindow("firstRun"));
}

TEST_F(SimApplicationTest, PanelsDoNotCountAsLastWindows) {
    delegate->terminates = true;
    auto panel = makePanel({0, 0, 10, 10});
    panel->orderFront();
    panel->close();
    runUntilIdle();
    EXPECT_EQ(delegate->asked, 0);
    EXPECT_FALSE(simApplication().isTerminated());
}

TEST_F(SimApplicationTest, WindowsListsOurOpenWindowsFrontToBack) {
    auto back = makePanel({0, 0, 10, 10});
    auto front = makePanel({0, 0, 10, 10});
    auto hidden = makePanel({0, 0, 10, 10});
    back->orderFront();
    front->orderFront();
    const auto windows = app().windows();
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_EQ(windows[0], front);
    EXPECT_EQ(windows[1], back);
    EXPECT_EQ(windows[2], hidden);
}

TEST_F(SimApplicationTest, FirstResponderMayRefuseToResign) {
    struct Field : Responder {
        bool resigns = true;
        bool resignFirstResponder() override { return resigns; }
    };
    auto panel = makePanel({0, 0, 10, 10});
    auto field = std::make_shared<Field>();
    EXPECT_TRUE(panel->makeFirstResponder(field));
    field->resigns = false;
    EXPECT_FALSE(panel->makeFirstResponder(nullptr));
    EXPECT_EQ(panel->firstResponder(), field);
    field->resigns = true;
    EXPECT_TRUE(panel->makeFirstResponder(nullptr));
    EXPECT_FALSE(panel->firstResponder());
}

}  // namespace
}  // namespace talvori
