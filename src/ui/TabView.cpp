#include "ui/TabView.hpp"

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

struct TabBarView {
    Binding<std::size_t> selectedIndex;
    std::vector<TabBarItem> tabs;

    View body(ViewContext<NoState>& ctx) const {
        const std::size_t selected = ctx.read(selectedIndex);
        const Color tint = ctx.environment().tint;
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
            buttons.push_back(Button([binding = selectedIndex, i] { binding.set(i); }, label)
                                  .accessibilityLabel(tabs[i].title)
                                  .accessibilityAddTraits(isSelected
                                                              ? AccessibilityTrait::isSelected
                                                              : AccessibilityTrait::none));
        }
        const View bar =
            HStack(kBarSpacing, buttons)
                .padding(kBarPadding)
                .frame({.maxWidth = infinity})
                .overlay(View(Color::white(0.08)).frame({.height = 1}), Alignment::bottom())
                .accessibilityElement(AccessibilityChildren::contain)
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
