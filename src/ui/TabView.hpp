#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ui/Binding.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

// One tab of a TabView: its title and symbol in the tab bar, the selection value that shows it,
// and its content.
template <class T>
struct TabItem {
    std::string title;
    // A system symbol name of the icon table ("gearshape").
    std::string symbol;
    T tag;
    View content;
};

// The tab bar and the content of the selected tab, for TabView.
struct TabBarItem {
    std::string title;
    std::string symbol;
    View content;
};
View makeTabView(Binding<std::size_t> selectedIndex, std::vector<TabBarItem> tabs);

// Tabs with a bar across the top: each tab a symbol over its title, the selected one highlighted
// in the tint; below the bar the content of the tab whose tag the selection holds (the first tab's
// while it holds none of them). Clicking a tab writes its tag through the selection; each tab's
// content keeps its state only while it is shown.
template <class T>
View TabView(Binding<T> selection, std::vector<TabItem<T>> tabs) {
    std::vector<T> tags;
    std::vector<TabBarItem> items;
    for (auto& tab : tabs) {
        tags.push_back(tab.tag);
        items.push_back({std::move(tab.title), std::move(tab.symbol), std::move(tab.content)});
    }
    Binding<std::size_t> index(
        [selection, tags] {
            const auto found = std::find(tags.begin(), tags.end(), selection.get());
            return found == tags.end() ? std::size_t{0}
                                       : static_cast<std::size_t>(found - tags.begin());
        },
        [selection, tags](std::size_t chosen) {
            if (chosen < tags.size()) selection.set(tags[chosen]);
        },
        [selection](std::function<void()> onChange) {
            return selection.observe(std::move(onChange));
        });
    return makeTabView(std::move(index), std::move(items));
}

}  // namespace talvori::ui
