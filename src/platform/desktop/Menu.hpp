#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/MenuItem.hpp"

namespace talvori {

// A list of menu items, in order; items may open submenus.
class Menu {
  public:
    explicit Menu(std::string title = {}) : title_(std::move(title)) {}

    const std::string& title() const { return title_; }
    const std::vector<std::shared_ptr<MenuItem>>& itemArray() const { return items_; }
    std::size_t numberOfItems() const { return items_.size(); }

    void addItem(std::shared_ptr<MenuItem> item) { items_.push_back(std::move(item)); }
    // At `index`, or at the end when it lies beyond.
    void insertItem(std::shared_ptr<MenuItem> item, std::size_t index);
    void removeItem(const std::shared_ptr<MenuItem>& item);
    // The first item with this title, submenus not searched.
    std::shared_ptr<MenuItem> itemWithTitle(const std::string& title) const;

  private:
    std::string title_;
    std::vector<std::shared_ptr<MenuItem>> items_;
};

}  // namespace talvori
