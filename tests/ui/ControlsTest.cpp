#include "WindowedViewTest.hpp"
#include "ui/FrameReader.hpp"

namespace talvori::ui::testing {
namespace {

class ControlsTest : public WindowedViewTest {};

TEST_F(ControlsTest, AToggleWritesTheOppositeValueAndFollowsWritesMadeElsewhere) {
    Observable<bool> on{false};
    bool disabled = false;
    auto h = host(View(Toggle{on}).disabled(disabled));
    const auto knob = h->find(Query::byIdentifier("Toggle.knob"));
    h->find(Query::byIdentifier("Toggle.track")).click();
    runUntilIdle();
    EXPECT_TRUE(on.peek());
    EXPECT_EQ(h->accessibilityDump(), "button value=\"On\"\n");
    advance(Toggle::kSlideDuration);
    EXPECT_EQ(knob.frame().minX(), Toggle::kTrackWidth - Toggle::kTrackHeight);

    // Nobody rebuilds the owner: the switch follows the write on its own.
    on.set(false);
    runUntilIdle();
    advance(Toggle::kSlideDuration);
    EXPECT_EQ(knob.frame().minX(), 0);

    auto off = host(View(Toggle{on}).disabled());
    off->find(Query::byIdentifier("Toggle.track")).click();
    runUntilIdle();
    EXPECT_FALSE(on.peek());
    EXPECT_LT(off->find(Query::byIdentifier("Toggle.track")).opacity(), 1);
}

TEST_F(ControlsTest, ASliderWithInsetEndsReportsPositionsBetweenThemOnly) {
    std::vector<double> reported;
    int ended = 0;
    bool hovering = false;
    SliderStyle style;
    style.inset = 12;
    style.dragHalo = SliderStyle::Halo{8, 4, Color::rgb255(245, 160, 53, 0.25)};
    auto make = [&](double fraction, double width) {
        return host(View(Slider{fraction, false, false, [&](bool h) { hovering = h; },
                                [&](double f) { reported.push_back(f); }, [&] { ++ended; }, style})
                        .frame({.width = width})
                        .accessibilityIdentifier("slider"));
    };
    auto h = make(1.3, 224);
    h->mouseMoved({5, 8});
    EXPECT_TRUE(hovering) << "the whole track, not only the thumb";
    h->mouseDown({5, 8});
    h->mouseDragged({100, 8});
    h->mouseDragged({260, 8});
    h->mouseUp({260, 8});
    EXPECT_FALSE(hovering);
    EXPECT_EQ(reported, (std::vector<double>{0, 0.44, 1}));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(Slider::thumbCenter(1.3, 224, 12), 212);
    EXPECT_EQ(Slider::thumbCenter(-0.2, 224, 12), 12);
    EXPECT_EQ(Slider::thumbCenter(std::nan(""), 224, 12), 12);

    reported.clear();
    auto narrow = make(0.5, 24);
    narrow->mouseDown({3, 8});
    narrow->mouseUp({20, 8});
    EXPECT_TRUE(reported.empty()) << "no room between the insets";
    EXPECT_EQ(Slider::thumbCenter(0.5, 24, 12), 12);
    EXPECT_FALSE(Slider::fractionAt(3, 24, 12));
}

TEST_F(ControlsTest, ALinkOpensItsAddressAndShowsTheHandWhileHovered) {
    show(VStack({Link("Privacy", "https://talvori.org/privacy/").font(Font::system(12.5)),
                 Text("Elsewhere")})
             .padding(20),
         Rect(200, 200, 200, 120));
    const auto link = views().find(Query::byText("Privacy"));
    EXPECT_EQ(views().accessibilityDump(), "link \"Privacy\"\ntext \"Elsewhere\"\n");
    input().moveMouse(global(center(link.frame())));
    runUntilIdle();
    EXPECT_EQ(input().currentCursor(), Cursor::pointingHand());
    click(link);
    EXPECT_EQ(simWorkspace().openedURLs(),
              std::vector<std::string>{"https://talvori.org/privacy/"});
    input().moveMouse(global(center(views().find(Query::byText("Elsewhere")).frame())));
    runUntilIdle();
    EXPECT_EQ(input().currentCursor(), Cursor::arrow());

    input().moveMouse(global(center(link.frame())));
    runUntilIdle();
    ASSERT_EQ(input().currentCursor(), Cursor::pointingHand());
    panel->orderOut();
    runUntilIdle();
    EXPECT_EQ(input().currentCursor(), Cursor::arrow()) << "the window left under the pointer";
}

TEST_F(ControlsTest, TheSpinnerWakesTheLoopOnlyWhileItsWindowIsOnScreen) {
    Observable<bool> spinning{true};
    struct Waiting {
        Observable<bool>* spinning;
        View body(ViewContext<NoState>&) const {
            return HStack({spinning->get() ? View(ProgressSpinner()) : View(),
                           Text("Waiting for your desktop\u2026")});
        }
    };
    show(View(Waiting{&spinning}).padding(12), Rect(300, 300, 240, 40));
    auto wakeUps = [&] {
        const auto before = platform().runLoop().wakeUpCount();
        advance(1);
        return platform().runLoop().wakeUpCount() - before;
    };
    EXPECT_GE(wakeUps(), static_cast<std::uint64_t>(ProgressSpinner::kSpokes));
    writePicture("/tmp/x/spinner.png");

    panel->orderOut();
    runUntilIdle();
    EXPECT_EQ(wakeUps(), 0u);
    panel->orderFront();
    runUntilIdle();
    EXPECT_GE(wakeUps(), static_cast<std::uint64_t>(ProgressSpinner::kSpokes));
    spinning.set(false);
    runUntilIdle();
    advance(1);
    EXPECT_EQ(wakeUps(), 0u);
}

TEST_F(ControlsTest, ATabViewShowsTheSelectedTabAndWritesAClickedOne) {
    enum class Pane { general, shortcuts };
    Observable<Pane> pane{Pane::general};
    show(TabView<Pane>(pane, {{"General", "gearshape", Pane::general, Text("Launch at Login")},
                              {"Shortcuts", "keyboard", Pane::shortcuts, Text("New Cover")}}),
         Rect(100, 300, 540, 284));
    EXPECT_TRUE(views().find(Query::byText("Launch at Login")));
    writePicture("/tmp/x/tabs.png");
    click(views().find(Query::byText("Shortcuts")));
    EXPECT_EQ(pane.peek(), Pane::shortcuts);
    EXPECT_FALSE(views().find(Query::byText("Launch at Login")));
    EXPECT_TRUE(views().find(Query::byText("New Cover")));
    pane.set(Pane::general);
    runUntilIdle();
    EXPECT_TRUE(views().find(Query::byText("Launch at Login")));
}

TEST_F(ControlsTest, TheControlsShowInTheScreenPicture) {
    Observable<bool> on{true}, off{false};
    SliderStyle panelStyle;
    panelStyle.inset = 12;
    panelStyle.rail = Color::white(0.063);
    panelStyle.fill = panelStyle.draggingThumb = Color::rgb255(245, 160, 53);
    panelStyle.thumb = Color::white();
    panelStyle.thumbDiameter = 14;
    panelStyle.activeThumbDiameter = 16;
    panelStyle.hoverHalo = SliderStyle::Halo{6, 3, Color::white(0.13)};
    show(VStack(HorizontalAlignment::leading, 12,
                {HStack({Toggle{on}, Toggle{off}}),
                 View(Slider{0.6, true, false, {}, {}, {}, panelStyle}).frame({.width = 200}),
                 Link("Full release notes", "https://talvori.org/changelog/")
                     .font(Font::system(12, FontWeight::medium))
                     .foregroundColor(Color::rgb255(157, 176, 255)),
                 Text("Step body text that wraps onto a second line with spacing")
                     .font(Font::system(13))
                     .foregroundColor(Color::white(0.5))
                     .lineSpacing(4)
                     .multilineTextAlignment(TextAlignment::center)
                     .frame({.width = 220})})
             .padding(16),
         Rect(200, 300, 260, 200));
    writePicture("/tmp/x/controls.png");
    const auto picture = sim::ScreenPicture::render(world());
    const Rect track = *views().find(Query::byIdentifier("Toggle.track")).frameOnScreen();
    EXPECT_TRUE(close(picture.colorAt({track.minX() + 4, track.midY()}),
                      Color::rgb255(245, 160, 53), 0.03));
}

TEST_F(ControlsTest, SelectableTextCopiesWhatIsSelectedAndPlainTextLetsPressesThrough) {
    int pressed = 0;
    std::vector<std::string> copied;
    // 10 pt fixed metrics: 6 points a character.
    auto h = host(VStack(
        0, {Text("Talvori 1.2 (34)").font(Font::system(10)).textSelection(),
            Button([&] { ++pressed; }, HStack({Text("Check"), Text("now")}).font(Font::system(10))),
            TextField("Name", Binding<std::string>::constant(""))}));
    h->setPasteboardWriter([&](const std::string& text) { copied.push_back(text); });
    const auto line = h->find(Query::byText("Talvori 1.2 (34)"));
    const Point start = {line.frame().minX() + 8 * 6, line.frame().midY()};
    h->mouseDown(start);
    h->mouseDragged({start.x + 3 * 6, start.y});
    h->mouseUp({start.x + 3 * 6, start.y});
    h->keyDown(KeyPress::character("c", Modifiers::command));
    h->keyDown(KeyPress::character("a", Modifiers::command));
    h->keyDown(KeyPress::character("c", Modifiers::command));
    EXPECT_EQ(copied, (std::vector<std::string>{"1.2", "Talvori 1.2 (34)"}));

    h->press(Key::tab);
    h->press(Key::tab);
    EXPECT_TRUE(h->find(Query::byLabel("Name")).isFocused())
        << "Tab skips the selectable text and stops at the button";
    h->find(Query::byText("Check")).click();
    EXPECT_EQ(pressed, 1);
}

TEST_F(ControlsTest, AFrameReaderTellsWhereItsViewIsWhileTheViewIsInAWindow) {
    Observable<bool> present{true};
    FrameReader reader;
    struct Reading {
        Observable<bool>* present;
        FrameReader reader;
        View body(ViewContext<NoState>&) const {
            return VStack(0, {Spacer(0).frame({.height = 30}),
                              present->get() ? View(Text("Field").frame(130, 24).readFrame(reader))
                                             : View(),
                              Spacer(0)})
                .frame({.maxWidth = infinity, .maxHeight = infinity});
        }
    };
    EXPECT_FALSE(reader.frameInWindow());
    show(View(Reading{&present, reader}), Rect(100, 100, 200, 100));
    EXPECT_EQ(reader.frameInWindow(), Rect(35, 30, 130, 24));
    EXPECT_EQ(reader.frameOnScreen(), Rect(135, 100 + 100 - 30 - 24, 130, 24));
    EXPECT_EQ(reader.window(), panel);
    present.set(false);
    runUntilIdle();
    EXPECT_FALSE(reader.frameOnScreen());
    EXPECT_FALSE(
        host(Text("Alone").readFrame(reader))->find(Query::byText("Alone")).frameInWindow())
        << "a host without a window";
}

}  // namespace
}  // namespace talvori::ui::testing
