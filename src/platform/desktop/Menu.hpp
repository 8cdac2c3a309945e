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

    void addItem(std::shared_ptr<MenuItem> item) { items_.push_back(std::move(item)); }
    void removeItem(const std::shared_ptr<MenuItem>& item);

  private:
    std::string title_;
    std::vector<std::shared_ptr<MenuItem>> items_;
};

}  // namespace talvori
