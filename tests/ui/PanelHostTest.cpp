#include "CoverRowFixture.hpp"
#include "UiTest.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::ui::testing {
namespace {

using namespace fixture;
using sim::KeyStroke;

constexpr std::uint16_t kReturn = 36;
constexpr std::uint16_t kEscape = 53;
constexpr std::uint16_t kKeyN = 45;
constexpr std::uint16_t kKeyX = 7;
constexpr std::uint16_t kKeyA = 0;
constexpr std::uint16_t kKeyV = 9;

class PanelHostTest : public UiTest {
  protected:
    PanelHostTest() {
        PanelHost::Options options;
        options.textMeasurer = std::make_shared<FixedTextMeasurer>();
        content = PanelHost::make(View(PanelContent{manager, &created}), options);
        content->onLayoutChange = [this](Size size) { layouts.push_back(size); };
        panel = makePanel(Rect({100, 500}, content->fittingSize()));
        panel->setCanBecomeKey(true);
        panel->setHostedContent(content);
        panel->orderFront();
        runUntilIdle();
    }

    struct PanelContent {
        std::shared_ptr<CoverManager> manager;
        int* created;
        View body(ViewContext<NoState>&) const {
            return VStack(0, {CoversCard{manager},
                              Button([created = created] { ++*created; }, Text("+ New cover"))
                                  .keyboardShortcut("n")
                                  .accessibilityLabel("New cover")});
        }
    };

    // The global point (y up) of a point in the panel's content (y down).
    Point global(Point content) const {
        const Rect frame = panel->frame();
        return {frame.minX() + content.x, frame.maxY() - content.y};
    }
    Point globalCenter(const NodeRef& node) const { return global(center(node.frame())); }

    std::shared_ptr<CoverManager> manager = managerWithCovers(2);
    int created = 0;
    std::vector<Size> layouts;
    std::shared_ptr<PanelHost> content;
    std::shared_ptr<Panel> panel;
};

TEST_F(PanelHostTest, ReportsItsFittingSizeAndEachLayout) {
    EXPECT_EQ(content->fittingSize(), (Size{355, 36 * 2 + 8 + 15.6}));
    EXPECT_EQ(panel->frame().size, content->fittingSize());
    const auto before = layouts.size();
    manager->covers.modify(
        [](auto& covers) { covers.push_back(std::make_shared<CoverModel>("Overlay 3")); });
    runUntilIdle();
    EXPECT_GT(layouts.size(), before);
    EXPECT_EQ(content->fittingSize().height, 36 * 3 + 16 + 15.6);
}

TEST_F(PanelHostTest, TheViewsFollowAResizedPanelBeforeItIsDrawnAgain) {
    const Rect frame = panel->frame();
    panel->setFrame({frame.minX(), frame.minY() - 100, frame.width(), frame.height() + 100}, false);
    EXPECT_EQ(content->host().size(), panel->frame().size) << "clicks land where the views stand";
    panel->setHostedContent(nullptr);
    panel->setFrame(frame, false);
    EXPECT_EQ(content->host().size().height, frame.height() + 100) << "no longer its panel";
}

TEST_F(PanelHostTest, TheFirstClickOnAPanelThatIsNotKeyActs) {
    panel->setCanBecomeKey(false);
    input().click(globalCenter(content->host().find(Query::byLabel("New cover"))));
    runUntilIdle();
    EXPECT_EQ(created, 1);
}

TEST_F(PanelHostTest, ClicksOutsideControlsGoToThePanelsHandler) {
    Event down;
    down.type = EventType::leftMouseDown;
    EXPECT_FALSE(content->mouseDown(down, {200, 18}));
    EXPECT_TRUE(content->mouseDown(
        down, center(content->host().find(Query::byLabel("New cover")).frame())));
}

TEST_F(PanelHostTest, HoverEndsWhenThePanelIsOrderedOut) {
    const auto& cover = manager->covers.peek()[0];
    input().moveMouse(globalCenter(content->host().find(Query::byText("Overlay 1"))));
    runUntilIdle();
    EXPECT_TRUE(cover->isHighlighted.peek());
    panel->orderOut();
    runUntilIdle();
    EXPECT_FALSE(cover->isHighlighted.peek());
}

TEST_F(PanelHostTest, AFocusedFieldIsThePanelsFirstResponder) {
    panel->makeKey();
    input().click(globalCenter(content->host().findAll(Query::byLabel("Rename cover"))[0]));
    runUntilIdle();
    ASSERT_TRUE(panel->firstResponder());
    EXPECT_TRUE(panel->firstResponder()->isTextEditor());

    input().typeKey(KeyStroke::key(kKeyX, "x"));
    EXPECT_EQ(content->host().find(Query::byLabel("Name")).text(), "Overlay 1x");

    // On a Russian layout the chords go by the Latin letters of their keys.
    input().typeKey(KeyStroke::key(kKeyA, "\u0444", ModifierFlags::control));
    input().typeKey(KeyStroke::key(kKeyX, "\u0447", ModifierFlags::control));
    EXPECT_EQ(content->host().find(Query::byLabel("Name")).text(), "");
    input().typeKey(KeyStroke::key(kKeyV, "\u043C", ModifierFlags::command));
    EXPECT_EQ(content->host().find(Query::byLabel("Name")).text(), "Overlay 1x");

    // Taking the focus away neither commits nor cancels: the field stays, unfocused.
    panel->makeFirstResponder(nullptr);
    runUntilIdle();
    EXPECT_FALSE(content->host().hasFocusedTextField());
    EXPECT_TRUE(content->host().find(Query::byLabel("Name")));

    input().click(globalCenter(content->host().find(Query::byLabel("Name"))));
    runUntilIdle();
    EXPECT_TRUE(panel->firstResponder());
    input().typeKey(KeyStroke::key(kReturn, "\r"));
    runUntilIdle();
    EXPECT_EQ(manager->covers.peek()[0]->name.peek(), "Overlay 1x");
    EXPECT_FALSE(panel->firstResponder());
}

TEST_F(PanelHostTest, EscapeWithoutAnExitCommandReachesThePanel) {
    panel->makeKey();
    input().click(globalCenter(content->host().findAll(Query::byLabel("Rename cover"))[1]));
    runUntilIdle();
    // The row's field has an exit command: the field takes Escape.
    EXPECT_EQ(input().typeKey(KeyStroke::key(kEscape, "\x1b")), sim::KeyDelivery::handled);
    runUntilIdle();
    EXPECT_FALSE(content->host().find(Query::byLabel("Name")));
    EXPECT_EQ(input().typeKey(KeyStroke::key(kEscape, "\x1b")), sim::KeyDelivery::unhandled);
}

TEST_F(PanelHostTest, KeyboardShortcutsActWhileThePanelIsKey) {
    panel->makeKey();
    input().typeKey(KeyStroke::key(kKeyN, "n", ModifierFlags::command));
    EXPECT_EQ(created, 1);
    EXPECT_EQ(input().typeKey(KeyStroke::key(kKeyN, "n")), sim::KeyDelivery::unhandled);
    EXPECT_EQ(created, 1);
    EXPECT_FALSE(
        content->host().keyDown(KeyPress::character("n", Modifiers::command | Modifiers::shift)));
}

TEST_F(PanelHostTest, TheWheelScrollsAScrollView) {
    ViewList rows;
    for (int i = 0; i < 10; ++i) {
        rows.push_back(Text("Row " + std::to_string(i))
                           .frame(100, 40)
                           .accessibilityIdentifier("row" + std::to_string(i)));
    }
    auto scrolling = PanelHost::make(ScrollView(VStack(0, rows)).frame({.maxHeight = 180}));
    auto window = makePanel(Rect({600, 300}, scrolling->fittingSize()));
    window->setHostedContent(scrolling);
    window->orderFront();
    runUntilIdle();
    const auto last = scrolling->host().find(Query::byIdentifier("row9"));
    EXPECT_EQ(last.frame().maxY(), 400);
    const Rect frame = window->frame();
    input().scrollWheel({frame.midX(), frame.midY()}, 120);
    runUntilIdle();
    EXPECT_EQ(last.frame().maxY(), 280);

    // A wheel notch of a 180-point view goes 40 points (GTK's 180^(2/3) is less); a page goes
    // 90 % of the view.
    input().scrollWheelNotches({frame.midX(), frame.midY()}, 1);
    runUntilIdle();
    EXPECT_EQ(last.frame().maxY(), 240);
    EXPECT_TRUE(scrolling->host().press(Key::pageUp));
    runUntilIdle();
    EXPECT_EQ(last.frame().maxY(), 400);
    EXPECT_TRUE(scrolling->host().press(Key::pageDown));
    runUntilIdle();
    EXPECT_EQ(last.frame().maxY(), 238);
    // A smooth-scrolling device's quarter of a notch goes a quarter of the step.
    input().scrollWheelNotches({frame.midX(), frame.midY()}, 0.25);
    runUntilIdle();
    EXPECT_EQ(last.frame().maxY(), 228);
}

TEST_F(PanelHostTest, TheScreenPictureShowsTheViews) {
    // The row's background, white at 0.031, lightens the dark panel.
    panel->setBackgroundColor(Color::rgb255(21, 24, 32));
    const auto picture = sim::ScreenPicture::render(world());
    const Color onRow = picture.colorAt(global({5, 18}));
    const Color onGap = picture.colorAt(global({5, 40}));
    EXPECT_GT(onRow.red, onGap.red);
    EXPECT_EQ(onGap, Color::rgb255(21, 24, 32));
}

}  // namespace
}  // namespace talvori::ui::testing
