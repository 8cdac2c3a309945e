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
              "button \"Rename cover\"\n"
              "button \"Close cover\"\n");
    h->find(Query::byLabel("Rename cover")).click();
    runUntilIdle();
    EXPECT_EQ(h->accessibilityDump(),
              "text \"Name\" value=\"Overlay 1\"\n"
              "button \"Rename cover\"\n"
              "button \"Close cover\"\n");
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

// What a screen reader reads beyond the dump: focus, enabled state, switches, identity across
// readings, and when to read again.
TEST_F(AccessibilityTest, AReadersTreeKeepsEachViewsIdentityAndSaysWhatTakesTheFocus) {
    Observable<std::string> name{"Dim"};
    Observable<bool> on{true};
    Observable<bool> shown{true};
    struct Views {
        Observable<std::string>* name;
        Observable<bool>*on, *shown;
        View body(ViewContext<NoState>&) const {
            return VStack({TextField("Name", *name), View(Toggle{*on}).accessibilityLabel("Focus"),
                           Button("Off", [] {}).disabled(),
                           shown->get() ? View(Text("Tip")) : View()});
        }
    };
    auto h = host(View(Views{&name, &on, &shown}));
    int changes = 0;
    h->onAccessibilityChange = [&] { ++changes; };
    auto first = h->accessibilityElements();
    ASSERT_EQ(first.size(), 4U);
    EXPECT_TRUE(first[0].isFocusable && !first[0].isFocused);
    EXPECT_TRUE(first[1].isOn.value_or(false));
    EXPECT_TRUE(contains(first[1].traits, AccessibilityTrait::isToggle));
    EXPECT_FALSE(first[2].isEnabled);
    EXPECT_FALSE(first[3].isFocusable);

    first[0].focus();
    EXPECT_EQ(changes, 1) << "a focus move is told at once";
    on.set(false);
    shown.set(false);
    runUntilIdle();
    EXPECT_GE(changes, 2);
    const auto second = h->accessibilityElements();
    ASSERT_EQ(second.size(), 3U);
    EXPECT_TRUE(second[0].isFocused);
    EXPECT_FALSE(second[1].isOn.value_or(true));
    const auto same = [](const AccessibilityNode& a, const AccessibilityNode& b) {
        return !a.source.owner_before(b.source) && !b.source.owner_before(a.source);
    };
    EXPECT_TRUE(same(first[0], second[0]) && same(first[1], second[1]));
    EXPECT_FALSE(same(first[0], second[1]));
    EXPECT_TRUE(first[3].source.expired()) << "the tip's view has gone";
}

TEST_F(AccessibilityTest, AReaderMovesSlidersAndEditsFieldsAsThePointerAndKeysWould) {
    Observable<std::string> text{"Glass"};
    std::vector<double> moves;
    int ends = 0;
    auto h = host(
        VStack({TextField("Name", text),
                View(Slider{0.25, false, false, nullptr,
                            [&](double fraction) { moves.push_back(fraction); }, [&] { ++ends; }})
                    .accessibilityLabel("Strength")}),
        Size{200, 60});
    const auto elements = h->accessibilityElements();
    ASSERT_EQ(elements.size(), 2U);
    const auto& slider = elements[1];
    EXPECT_EQ(slider.label, "Strength");
    ASSERT_TRUE(slider.range);
    EXPECT_DOUBLE_EQ(slider.range->value, 25);
    slider.range->set(60);
    slider.range->set(400);
    EXPECT_EQ(moves, (std::vector<double>{0.6, 1.0}));
    EXPECT_EQ(ends, 2);

    ASSERT_TRUE(elements[0].text);
    EXPECT_EQ(elements[0].text->contents, "Glass");
    EXPECT_EQ(elements[0].text->caret, 5U);
    elements[0].text->select(1, 3);
    runUntilIdle();
    const auto selected = h->accessibilityElements()[0].text;
    EXPECT_EQ(selected->caret, 3U);
    EXPECT_EQ(selected->selectionStart, 1U);
    EXPECT_EQ(selected->selectionEnd, 3U);
    selected->replace("Dim");
    EXPECT_EQ(text.get(), "Dim");
}

}  // namespace
}  // namespace talvori::ui::testing
