#include "platform/desktop/Menu.hpp"

#include <algorithm>

namespace talvori {

void Menu::insertItem(std::shared_ptr<MenuItem> item, std::size_t index) {
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(std::min(index, items_.size())),
                  std::move(item));
}

void Menu::removeItem(const std::shared_ptr<MenuItem>& item) {
    std::erase(items_, item);
}

std::shared_ptr<MenuItem> Menu::itemWithTitle(const std::string& title) const {
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [&](const auto& item) { return item->title() == title; });
    return found == items_.end() ? nullptr : *found;
}

}  // namespace talvori
