#include "platform/desktop/MenuItem.hpp"

namespace talvori {

void MenuItem::setAssociatedObject(const void* key, std::shared_ptr<void> value) {
    if (value) {
        associated_.insert_or_assign(key, std::move(value));
    } else {
        associated_.erase(key);
    }
}

std::shared_ptr<void> MenuItem::associatedObject(const void* key) const {
    const auto found = associated_.find(key);
    return found == associated_.end() ? nullptr : found->second;
}

}  // namespace talvori
