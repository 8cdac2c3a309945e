#include "platform/desktop/Menu.hpp"

namespace talvori {

void Menu::removeItem(const std::shared_ptr<MenuItem>& item) {
    std::erase(items_, item);
}

}  // namespace talvori
