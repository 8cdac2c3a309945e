#pragma once

#include "platform/desktop/StatusBarButton.hpp"

namespace talvori {

// An item in the status area of the menu bar; dropping the last reference removes it.
class StatusItem {
  public:
    virtual ~StatusItem() = default;

    virtual bool isVisible() const = 0;
    // Null when the desktop gave the item no button.
    virtual StatusBarButton* button() = 0;
};

}  // namespace talvori
