#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "ui/Stack.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

// The key a ForEach gives a child: strings, integers, and identifiers with uuidString().
template <class Key>
std::string identityKey(const Key& key) {
    if constexpr (std::is_convertible_v<const Key&, std::string_view>) {
        return std::string(std::string_view(key));
    } else if constexpr (std::is_integral_v<Key>) {
        return std::to_string(key);
    } else {
        return key.uuidString();
    }
}

std::shared_ptr<const Element> makeGroupElement(std::vector<ChildEntry> children);

// One view per item, each identified by the key `key(item)` rather than by its position: a view
// keeps its state when items move, and items that come and go play their transitions. Its views
// join the enclosing stack.
class ForEach : public View {
  public:
    template <class Items, class KeyFunction, class Content>
    ForEach(const Items& items, KeyFunction key, Content content)
        : View(makeGroupElement(entries(items, key, content))) {}

  private:
    template <class Items, class KeyFunction, class Content>
    static std::vector<ChildEntry> entries(const Items& items, KeyFunction& key, Content& content) {
        std::vector<ChildEntry> children;
        for (const auto& item : items) {
            children.push_back(
                {ChildKey{0, "#" + identityKey(key(item))}, View(content(item)).element()});
        }
        return children;
    }
};

}  // namespace talvori::ui
