#include "ui/TabView.hpp"

#include <optional>

#include "ui/Button.hpp"
#include "ui/Image.hpp"
#include "ui/Shape.hpp"
#include "ui/Stack.hpp"
#include "ui/Text.hpp"
#include "ui/ViewContext.hpp"

namespace talvori::ui {

namespace {

constexpr double kBarSpacing = 2;
constexpr double kBarPadding = 8;

// Control-Tab and Control-Page Down choose the next tab, with Shift or Page Up the previous one,
// round the ends, as the desktop's tabbed windows do. Every tab carries all four, active or not,
// so that a tab pressed from the keyboard keeps the focus when the choice moves.
View switchingShortcuts(View button, std::size_t index, std::size_t selected, std::size_t count) {
    const bool isPrevious =
        count > 1 && index != selected && index == (selected + count - 1) % count;
    const bool isNext = count > 1 && index != selected && index == (selected + 1) % count;
    return button
        .keyboardShortcut({"", Modifiers::control | Modifiers::shift, Key::tab}, isPrevious)
        .keyboardShortcut({"", Modifiers::control, Key::pageUp}, isPrevious)
        .keyboardShortcut({"", Modifiers::control, Key::tab}, isNext)
        .keyboardShortcut({"", Modifiers::control, Key::pageDown}, isNext);
}

// Left and Right on a focused tab choose the tab beside it, as in the desktop's notebooks.
std::optional<std::size_t> besideTab(const KeyPress& press, std::size_t index, std::size_t count) {
    if (press.modifiers != Modifiers::none) return std::nullopt;
    if (press.key == Key::leftArrow && index > 0) return index - 1;
    if (press.key == Key::rightArrow && index + 1 < count) return index + 1;
    return std::nullopt;
}

struct TabBarView {
    Binding<std::size_t> selectedIndex;
    std::vector<TabBarItem> tabs;

    struct State {
        // The tab the keyboard chose last, which takes the focus; -1 when the focus is elsewhere.
        Observable<int> focusedTab{-1};
    };

    Binding<bool> focusBinding(State& state, std::size_t index) const {
        const int tab = static_cast<int>(index);
        return Binding<bool>([&state, tab] { return state.focusedTab.get() == tab; },
                             [&state, tab](bool focused) {
                                 if (focused) {
                                     state.focusedTab.set(tab);
                                 } else if (state.focusedTab.get() == tab) {
                                     state.focusedTab.set(-1);
                                 }
                             });
    }

    View body(ViewContext<State>& ctx) const {
        const std::size_t selected = ctx.read(selectedIndex);
        const Color tint = ctx.environment().tint;
        // A tab chosen from the keyboard takes the focus, so that a reader says the new page's
        // name; a click leaves the focus where it was.
        auto choose = [&ctx, binding = selectedIndex](std::size_t index) {
            binding.set(index);
            if (ctx.isAnsweringKeyPress()) ctx.state.focusedTab.set(static_cast<int>(index));
        };
        ViewList buttons;
        for (std::size_t i = 0; i < tabs.size(); ++i) {
            const bool isSelected = i == selected;
            const View label =
                VStack(3, {Image(tabs[i].symbol).font(Font::system(16)),
                           Text(tabs[i].title).font(Font::system(11, FontWeight::medium))})
                    .foregroundColor(isSelected ? tint : Color::white(0.6))
                    .padding(EdgeInsets{5, 10, 5, 10})
                    .background(
                        RoundedRectangle(6).fill(isSelected ? Color::white(0.08) : Color::clear()))
                    .contentShape(Rectangle());
            const View button =
                Button([choose, i] { choose(i); }, label)
                    .accessibilityLabel(tabs[i].title)
                    .accessibilityAddTraits(
                        AccessibilityTrait::isTab |
                        (isSelected ? AccessibilityTrait::isSelected : AccessibilityTrait::none))
                    .focused(focusBinding(ctx.state, i))
                    .onKeyPress([choose, i, count = tabs.size()](const KeyPress& press) {
                        const auto beside = besideTab(press, i, count);
                        if (beside) choose(*beside);
                        return beside.has_value();
                    });
            buttons.push_back(switchingShortcuts(button, i, selected, tabs.size()));
        }
        const View bar =
            HStack(kBarSpacing, buttons)
                .padding(kBarPadding)
                .frame({.maxWidth = infinity})
                .overlay(View(Color::white(0.08)).frame({.height = 1}), Alignment::bottom())
                .accessibilityElement(AccessibilityChildren::contain)
                .accessibilityAddTraits(AccessibilityTrait::isTab)
                .accessibilityLabel("Tabs");
        // The content's identity is its tab: another tab starts with its own state.
        const View content =
            selected < tabs.size()
                ? tabs[selected].content.id(selected).frame(
                      {.maxWidth = infinity, .maxHeight = infinity, .alignment = Alignment::top()})
                : View();
        return VStack(0, {bar, content});
    }
};

}  // namespace

View makeTabView(Binding<std::size_t> selectedIndex, std::vector<TabBarItem> tabs) {
    return View(TabBarView{std::move(selectedIndex), std::move(tabs)});
}

}  // namespace talvori::ui
