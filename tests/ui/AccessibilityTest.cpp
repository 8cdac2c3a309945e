#include "CoverRowFixture.hpp"
#include "UiTest.hpp"

namespace talvori::ui::testing {
namespace {

using AccessibilityTest = UiTest;

TEST_F(AccessibilityTest, TheTreeShowsLabelsValuesTraitsAndContainers) {
    auto h = host(VStack({
        Text("APPEARANCE").accessibilityAddTraits(AccessibilityTrait::isHeader),
        HStack({Button("GLASS", [] {})
                    .accessibilityLabel("GLASS mode")
                    .accessibilityAddTraits(AccessibilityTrait::isSelected),
                Button("SOLID", [] {}).accessibilityLabel("SOLID mode")})
            .accessibilityElement(AccessibilityChildren::contain)
            .accessibilityLabel("Effect mode"),
        Rectangle().frame(100, 4).accessibilityLabel("Opacity").accessibilityValue("70 percent"),
        HStack({Image("sun.max").accessibilityHidden(), Text("Focus Mode"), Text("On")})
            .accessibilityElement(AccessibilityChildren::combine)
            .accessibilityHint("Turns Focus on or off")
            .accessibilityIdentifier("focusToggle"),
        Text("hidden").accessibilityHidden(),
    }));
    EXPECT_EQ(h->accessibilityDump(),
              "text \"APPEARANCE\" [header]\n"
              "group \"Effect mode\"\n"
              "  button \"GLASS mode\" [selected]\n"
              "  button \"SOLID mode\"\n"
              "text \"Opacity\" value=\"70 percent\"\n"
              "text \"Focus Mode, On\" hint=\"Turns Focus on or off\" id=focusToggle\n");
    const auto toggle = h->find(Query::byIdentifier("focusToggle")).accessibilityElement();
    ASSERT_TRUE(toggle);
    EXPECT_EQ(toggle->label, "Focus Mode, On");
}

TEST_F(AccessibilityTest, ButtonsTakeTheirLabelFromTheirContent) {
    auto h = host(Button([] {}, HStack({Image("icon-bookmark"), Text("Save as layout")})));
    EXPECT_EQ(h->accessibilityDump(), "button \"Save as layout\"\n");
}

TEST_F(AccessibilityTest, TheCoverRowReadsAsItsControls) {
    auto manager = fixture::managerWithCovers(1);
    auto h = host(fixture::CoversCard{manager});
    EXPECT_EQ(h->accessibilityDump(),
              "text \"Overlay 1\"\n"
              "button \"Rename overlay\"\n"
              "button \"Close overlay\"\n");
    h->find(Query::byLabel("Rename overlay")).click();
    runUntilIdle();
    EXPECT_EQ(h->accessibilityDump(),
              "text \"Name\" value=\"Overlay 1\"\n"
              "button \"Rename overlay\"\n"
              "button \"Close overlay\"\n");
}

TEST_F(AccessibilityTest, DefaultAndNamedActionsRunWhatTheViewSaysAndNothingOnceItIsGone) {
    int starts = 0, clears = 0;
    Observable<bool> present{true};
    struct Field {
        Observable<bool>* present;
        int *starts, *clears;
        View body(ViewContext<NoState>&) const {
            if (!present->get()) return View();
            return HStack({Text("New Cover"), Text("\u2325\u2318N")})
                .accessibilityElement(AccessibilityChildren::ignore)
                .accessibilityLabel("New Cover shortcut")
                .accessibilityAddTraits(AccessibilityTrait::isButton)
                .accessibilityAction([starts = starts] { ++*starts; })
                .accessibilityAction("Clear New Cover shortcut", [clears = clears] { ++*clears; });
        }
    };
    auto h = host(View(Field{&present, &starts, &clears}));
    EXPECT_EQ(h->accessibilityDump(),
              "button \"New Cover shortcut\" action=\"Clear New Cover shortcut\"\n");
    const auto field = h->find(Query::byLabel("New Cover shortcut"));
    EXPECT_TRUE(field.performAccessibilityAction());
    EXPECT_TRUE(field.performAccessibilityAction("Clear New Cover shortcut"));
    EXPECT_FALSE(field.performAccessibilityAction("Delete"));
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(clears, 1);

    auto tree = h->root().accessibilityElement();
    ASSERT_TRUE(tree);
    present.set(false);
    runUntilIdle();
    EXPECT_TRUE(tree->perform("Clear New Cover shortcut"));
    EXPECT_EQ(clears, 1) << "the view has gone";
}

TEST_F(AccessibilityTest, AButtonsPressIsItsDefaultActionWhileEnabled) {
    int presses = 0;
    auto h = host(
        VStack({Button("Save", [&] { ++presses; }), Button("Off", [&] { ++presses; }).disabled()}));
    EXPECT_TRUE(h->find(Query::byText("Save")).performAccessibilityAction());
    EXPECT_TRUE(h->find(Query::byText("Off")).performAccessibilityAction());
    EXPECT_EQ(presses, 1) << "a disabled button ignores the press";
}

}  // namespace
}  // namespace talvori::ui::testing
